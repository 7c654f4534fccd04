// The built-in catalogue of known smart-card applications.
//
// One row per application identifier: the aid itself, the organisation that
// holds its RID (the first five bytes) and that organisation's country, a
// short name, a longer note and a family label. Rows stand in ascending aid
// order; an aid that carries two different applications appears on two
// adjacent rows. The final row has an empty aid and closes the table, so a
// walk stops there without needing a row count.
//
// Texts are Windows-1252 and are kept byte for byte: 0xE9 and 0xFC are the
// accented letters and 0x92 is the typographic apostrophe. A field that has
// no value holds NoValueMark, never an empty text; only the closing row has
// empty texts. A hex escape followed by a hex digit would swallow that digit,
// so in such a place the literal is split in two, as in "Caf\xE9" "e".
//
// Vendor and country are the organisation that the RID is registered to and
// the country the register gives for it (for a national RID, the country of
// the ISO 3166 code inside the RID), so all rows under one RID agree. Where
// the holder is not known the vendor is NoValueMark; an aid that lies under
// no registered RID says so in its vendor.

#include "catalogue/aid_catalogue.h"

// Row numbers in the comments count from 1.
const AidRecord AidCatalogue[AID_CATALOGUE_ROWS] = {
    // 315041592E: Visa International
    /*   1 */ {"315041592E5359532E4444463031", "Visa International", "United States", "Visa Payment System Environment - PSE (1PAY.SYS.DDF01)", NoValueMark, NoValueMark},
    // 325041592E: Visa International
    /*   2 */ {"325041592E5359532E4444463031", "Visa International", "United States", "Visa Proximity Payment System Environment - PPSE (2PAY.SYS.DDF01)", "Visa payWave for Mobile", NoValueMark},
    // 44464D4641: None (ASCII file name, no registered RID)
    /*   3 */ {"44464D46412E44466172653234313031", "None (ASCII file name, no registered RID)", "Not applicable", "In2Pay DFare (DeviceFidelity)", "Applet of the DeviceFidelity In2Pay microSD NFC product, selected by the ASCII name DFMFA.DFare24101", NoValueMark},
    // A000000001: PBS Danmont A/S
    /*   4 */ {"A00000000101", "PBS Danmont A/S", "Denmark", "MUSCLE Card Applet", "Open-source MUSCLE Java Card applet for keys, PINs and objects, in the early AID it used under this RID without a licence", NoValueMark},
    // A000000003: Visa International
    /*   5 */ {"A000000003000000", "Visa International", "United States", "Visa Card Manager", "Visa Open Platform card manager (issuer security domain)", "GP"},
    /*   6 */ {"A00000000300037561", "Visa International", "United States", "Visa Bonuscard", NoValueMark, NoValueMark},
    /*   7 */ {"A00000000305076010", "Visa International", "United States", "VISA ELO Credit", NoValueMark, "EMV"},
    /*   8 */ {"A0000000031010", "Visa International", "United States", "VISA Debit/Credit (Classic)", "Standard/Gold VISA credit card", "EMV"},
    /*   9 */ {"A000000003101001", "Visa International", "United States", "VISA Credit", NoValueMark, "EMV"},
    /*  10 */ {"A000000003101002", "Visa International", "United States", "VISA Debit", NoValueMark, "EMV"},
    /*  11 */ {"A0000000032010", "Visa International", "United States", "VISA Electron", "Visa Electron debit card", "EMV"},
    /*  12 */ {"A0000000032020", "Visa International", "United States", "V PAY", "V PAY European debit card (chip and PIN)", "EMV"},
    /*  13 */ {"A0000000033010", "Visa International", "United States", "VISA Interlink", "Visa Interlink point-of-sale debit network", "EMV"},
    /*  14 */ {"A0000000034010", "Visa International", "United States", "VISA Specific", "Visa application reserved for specific use (4010)", "EMV"},
    /*  15 */ {"A0000000035010", "Visa International", "United States", "VISA Specific", "Visa application reserved for specific use (5010)", "EMV"},
    /*  16 */ {"A000000003534441", "Visa International", "United States", "Schlumberger Security Domain (ASCII SDA)", NoValueMark, "GP"},
    /*  17 */ {"A0000000035350", "Visa International", "United States", "Visa Security Domain (SP)", "Supplementary security domain of a Visa Open Platform card", "GP"},
    /*  18 */ {"A000000003535041", "Visa International", "United States", "Visa Security Domain (SPA)", "Security domain application of a Visa Open Platform card", "GP"},
    /*  19 */ {"A0000000036010", "Visa International", "United States", "Domestic Visa Cash Stored Value", NoValueMark, "EMV"},
    /*  20 */ {"A0000000036020", "Visa International", "United States", "International Visa Cash Stored Value", NoValueMark, "EMV"},
    /*  21 */ {"A0000000038002", "Visa International", "United States", "VISA Auth DynamicPassCode Authentication (DPA)", "Visa chip authentication generating one-time passcodes", "EMV"},
    /*  22 */ {"A0000000038010", "Visa International", "United States", "VISA Plus", "Visa Plus ATM network", "EMV"},
    /*  23 */ {"A0000000039010", "Visa International", "United States", "VISA Loyalty", NoValueMark, "EMV"},
    /*  24 */ {"A000000003999910", "Visa International", "United States", "VISA ATM", NoValueMark, "EMV"},
    // A000000004: Mastercard International
    /*  25 */ {"A0000000040000", "Mastercard International", "United States", "MasterCard Card Manager", "Security Domain", "GP"},
    /*  26 */ {"A00000000401", "Mastercard International", "United States", "MasterCard PayPass", "Mastercard\x92s contactless application (short AID)", "EMV"},
    /*  27 */ {"A0000000041010", "Mastercard International", "United States", "MasterCard Credit", "Standard MasterCard", "EMV"},
    /*  28 */ {"A00000000410101213", "Mastercard International", "United States", "MasterCard Credit", "MasterCard credit application with extended PIX 1213", "EMV"},
    /*  29 */ {"A00000000410101215", "Mastercard International", "United States", "MasterCard Credit", "MasterCard credit application with extended PIX 1215", "EMV"},
    /*  30 */ {"A0000000041010BB5449435301", "Mastercard International", "United States", "MasterCard Credit (TICS)", "MasterCard credit application with a proprietary PIX suffix (ASCII TICS)", NoValueMark},
    /*  31 */ {"A0000000042010", "Mastercard International", "United States", "MasterCard Specific", "MasterCard application reserved for specific use (2010)", "EMV"},
    /*  32 */ {"A0000000042203", "Mastercard International", "United States", "MasterCard Specific (US Maestro)", "US common debit application for Maestro and Debit Mastercard", NoValueMark},
    /*  33 */ {"A0000000043010", "Mastercard International", "United States", "MasterCard Specific", "MasterCard application reserved for specific use (3010)", "EMV"},
    /*  34 */ {"A0000000043060", "Mastercard International", "United States", "Maestro (Debit)", "Maestro debit card (international)", "EMV"},
    /*  35 */ {"A000000004306001", "Mastercard International", "United States", "Maestro (Debit)", "Maestro debit card, extended AID", "EMV"},
    /*  36 */ {"A0000000044010", "Mastercard International", "United States", "MasterCard Specific", "MasterCard application reserved for specific use (4010)", "EMV"},
    /*  37 */ {"A0000000045010", "Mastercard International", "United States", "MasterCard Specific", "MasterCard application reserved for specific use (5010)", "EMV"},
    /*  38 */ {"A0000000045555", "Mastercard International", "United States", "APDULogger", "MasterCard test application named APDULogger, seen on a Cirrus test card", NoValueMark},
    /*  39 */ {"A0000000046000", "Mastercard International", "United States", "Cirrus", "Cirrus ATM network", "EMV"},
    /*  40 */ {"A0000000048002", "Mastercard International", "United States", "SecureCode Auth EMV-CAP", "MasterCard chip authentication program (one-time passcodes)", "EMV"},
    /*  41 */ {"A0000000049999", "Mastercard International", "United States", "MasterCard proprietary application (9999)", NoValueMark, "EMV"},
    // A000000005: Switch Card Services Ltd
    /*  42 */ {"A0000000050001", "Switch Card Services Ltd", "United Kingdom", "Maestro UK", "UK domestic Maestro debit card (formerly Switch)", "EMV"},
    /*  43 */ {"A0000000050002", "Switch Card Services Ltd", "United Kingdom", "Solo", "UK domestic Solo debit card", "EMV"},
    // A000000009: European Telecommunications Standards Institute (ETSI)
    /*  44 */ {"A0000000090001FF44FF1289", "European Telecommunications Standards Institute (ETSI)", "France", "Orange UK telecom application", "Telecommunication application under the ETSI RID, PIX with country code 44", NoValueMark},
    // A000000010: Europay International
    /*  45 */ {"A0000000101030", "Europay International", "Belgium", "Maestro-CH", NoValueMark, NoValueMark},
    // A000000018: Gemplus
    /*  46 */ {"A00000001800", "Gemplus", "France", "Gemplus application (00)", NoValueMark, NoValueMark},
    /*  47 */ {"A0000000181001", "Gemplus", "France", "Gemplus Java Card utilities (com.gemplus.javacard.util)", NoValueMark, NoValueMark},
    /*  48 */ {"A000000018434D", "Gemplus", "France", "Gemplus Card Manager", "GemXpresso card manager (issuer security domain), ASCII CM", "GP"},
    /*  49 */ {"A000000018434D00", "Gemplus", "France", "Gemplus Card Manager", "GemXpresso card manager, ASCII CM followed by a zero byte", "GP"},
    // A000000024: Midland Bank plc
    /*  50 */ {"A00000002401", "Midland Bank plc", "United Kingdom", "Self Service", NoValueMark, "EMV"},
    // A000000025: American Express
    /*  51 */ {"A000000025", "American Express", "United Kingdom", "American Express", NoValueMark, "EMV"},
    /*  52 */ {"A0000000250000", "American Express", "United Kingdom", "American Express", "American Express card", "EMV"},
    /*  53 */ {"A00000002501", "American Express", "United Kingdom", "American Express", "American Express card (short AID)", "EMV"},
    /*  54 */ {"A000000025010104", "American Express", "United Kingdom", "American Express", NoValueMark, NoValueMark},
    /*  55 */ {"A000000025010402", "American Express", "United Kingdom", "American Express", NoValueMark, "EMV"},
    /*  56 */ {"A000000025010701", "American Express", "United Kingdom", "ExpressPay", NoValueMark, "EMV"},
    /*  57 */ {"A000000025010801", "American Express", "United Kingdom", "American Express", NoValueMark, "EMV"},
    // A000000029: LINK Interchange Network Ltd
    /*  58 */ {"A0000000291010", "LINK Interchange Network Ltd", "United Kingdom", "LINK", "LINK ATM network", "EMV"},
    /*  59 */ {"A00000002945087510100000", "LINK Interchange Network Ltd", "United Kingdom", "LINK application (CO-OP)", NoValueMark, NoValueMark},
    /*  60 */ {"A00000002949034010100001", "LINK Interchange Network Ltd", "United Kingdom", "LINK application (HSBC)", NoValueMark, NoValueMark},
    /*  61 */ {"A00000002949282010100000", "LINK Interchange Network Ltd", "United Kingdom", "LINK application (Barclays)", NoValueMark, NoValueMark},
    /*  62 */ {"A000000029564182", "LINK Interchange Network Ltd", "United Kingdom", "LINK application (HAFX)", NoValueMark, NoValueMark},
    // A000000030: Schlumberger (later Axalto, now Thales)
    /*  63 */ {"A00000003029057000AD13100101FF", "Schlumberger (later Axalto, now Thales)", "France", "BelPIC (Belgian Personal Identity Card) JavaCard Applet", "Java Card applet of the Belgian electronic identity card", NoValueMark},
    /*  64 */ {"A0000000308000000000280101", "Schlumberger (later Axalto, now Thales)", "France", "Gemalto .NET Card", NoValueMark, NoValueMark},
    // A000000042: Groupement des Cartes Bancaires CB
    /*  65 */ {"A0000000421010", "Groupement des Cartes Bancaires CB", "France", "CB", "Carte Bancaire, French domestic debit and credit scheme", "EMV"},
    /*  66 */ {"A0000000422010", "Groupement des Cartes Bancaires CB", "France", NoValueMark, NoValueMark, "EMV"},
    /*  67 */ {"A0000000423010", "Groupement des Cartes Bancaires CB", "France", NoValueMark, NoValueMark, "EMV"},
    /*  68 */ {"A0000000424010", "Groupement des Cartes Bancaires CB", "France", NoValueMark, NoValueMark, "EMV"},
    /*  69 */ {"A0000000425010", "Groupement des Cartes Bancaires CB", "France", NoValueMark, NoValueMark, "EMV"},
    // A000000059: Zentraler Kreditausschuss (ZKA)
    /*  70 */ {"A00000005945430100", "Zentraler Kreditausschuss (ZKA)", "Germany", "Girocard Electronic Cash", NoValueMark, NoValueMark},
    // A000000063: RSA Laboratories
    /*  71 */ {"A000000063504B43532D3135", "RSA Laboratories", "United States", "PKCS-15", "RSA PKCS-15 PKI application (Predecessor to ISO7816-15) / ID-card in Finland", NoValueMark},
    /*  72 */ {"A0000000635741502D57494D", "RSA Laboratories", "United States", "WAP-WIM", "WAP Identity Module for wireless application security (ASCII WAP-WIM)", NoValueMark},
    // A000000065: JCB Co., Ltd.
    /*  73 */ {"A00000006510", "JCB Co., Ltd.", "Japan", "JCB", "Japan Credit Bureau card (short AID)", "EMV"},
    /*  74 */ {"A0000000651010", "JCB Co., Ltd.", "Japan", "JCB J Smart Credit", "Japan Credit Bureau credit application", "EMV"},
    // A000000069: Societe Europeenne de Monnaie Electronique (SEME)
    /*  75 */ {"A00000006900", "Soci\xE9t\xE9 Europ\xE9" "enne de Monnaie Electronique (SEME)", "France", "Moneo porte-monnaie \xE9lectronique", NoValueMark, "EMV"},
    // A000000077: Oberthur Technologies
    /*  76 */ {"A000000077010000021000000000003B", "Oberthur Technologies", "France", "Oberthur payment application", NoValueMark, "EMV"},
    // A000000079: ActivCard Europe S.A. (applets of the US DoD Common Access Card)
    /*  77 */ {"A0000000790100", "ActivCard Europe S.A.", "France", "CAC PKI ID certificate", "Common Access Card PKI applet holding the identity certificate", NoValueMark},
    /*  78 */ {"A0000000790101", "ActivCard Europe S.A.", "France", "CAC PKI signature certificate", "Common Access Card PKI applet holding the signature certificate", NoValueMark},
    /*  79 */ {"A0000000790102", "ActivCard Europe S.A.", "France", "CAC PKI encryption certificate", "Common Access Card PKI applet holding the encryption certificate", NoValueMark},
    /*  80 */ {"A00000007901F0", "ActivCard Europe S.A.", "France", "CAC v1 identity key", "Common Access Card v1 identity key applet, redirected to its CAC v2 counterpart", NoValueMark},
    /*  81 */ {"A00000007901F1", "ActivCard Europe S.A.", "France", "CAC v1 signature key", "Common Access Card v1 signature key applet, redirected to its CAC v2 counterpart", NoValueMark},
    /*  82 */ {"A00000007901F2", "ActivCard Europe S.A.", "France", "CAC v1 key management key", "Common Access Card v1 key management key applet, redirected to its CAC v2 counterpart", NoValueMark},
    /*  83 */ {"A0000000790200", "ActivCard Europe S.A.", "France", "CAC Person instance", "Common Access Card generic container with person data", NoValueMark},
    /*  84 */ {"A0000000790201", "ActivCard Europe S.A.", "France", "CAC Personnel instance", "Common Access Card generic container with personnel data", NoValueMark},
    /*  85 */ {"A00000007902FB", "ActivCard Europe S.A.", "France", "CAC BC general configuration", "Common Access Card v1 BC container with general configuration data", NoValueMark},
    /*  86 */ {"A00000007902FD", "ActivCard Europe S.A.", "France", "CAC BC PKI certificate attributes", "Common Access Card v1 BC container with PKI certificate attributes", NoValueMark},
    /*  87 */ {"A00000007902FE", "ActivCard Europe S.A.", "France", "CAC BC PKI certificate", "Common Access Card v1 BC container with a PKI certificate", NoValueMark},
    /*  88 */ {"A0000000790300", "ActivCard Europe S.A.", "France", "CAC Access Control applet", "Common Access Card physical access control applet", NoValueMark},
    /*  89 */ {"A0000000791201", "ActivCard Europe S.A.", "France", "CAC JDM BC admin container", "Common Access Card Joint Data Model container with BC administrative data", NoValueMark},
    /*  90 */ {"A0000000791202", "ActivCard Europe S.A.", "France", "CAC JDM BC medical container", "Common Access Card Joint Data Model container with BC medical data", NoValueMark},
    // A000000087: Third Generation Partnership Project (3GPP)
    /*  91 */ {"A0000000871002FF49FF0589", "Third Generation Partnership Project (3GPP)", "France", "Telenor USIM", NoValueMark, "USIM"},
    // A000000088: Buypass AS
    /*  92 */ {"A00000008810200105C100", "Buypass AS", "Norway", "BuyPass BEID", "Buypass electronic identity (Norway)", "BuyPass"},
    /*  93 */ {"A000000088102201034221", "Buypass AS", "Norway", "BuyPass BEID (034221)", NoValueMark, "BuyPass"},
    /*  94 */ {"A000000088102201034321", "Buypass AS", "Norway", "BuyPass BEID (034321)", NoValueMark, "BuyPass"},
    // A000000096: Proton World International N.V.
    /*  95 */ {"A0000000960200", "Proton World International N.V.", "Belgium", "Proton World security domain", "Card manager (issuer security domain) of cards built on the Proton e-purse platform", "GP"},
    // A000000098: Visa USA
    /*  96 */ {"A000000098", "Visa USA", "United States", "Visa USA", "Visa USA application (bare RID)", "EMV"},
    /*  97 */ {"A0000000980840", "Visa USA", "United States", "Visa Common Debit", NoValueMark, NoValueMark},
    /*  98 */ {"A0000000980848", "Visa USA", "United States", "Visa Common Debit (0848)", "Visa USA common debit, variant 0848", "EMV"},
    // A000000111: Swiss Post - PostFinance
    /*  99 */ {"A0000001110101", "Swiss Post - PostFinance", "Switzerland", "PostFinance Postcard (Swiss debit card)", NoValueMark, NoValueMark},
    // A000000116: U.S. General Services Administration (GSA)
    /* 100 */ {"A0000001160300", "U.S. General Services Administration (GSA)", "United States", "PIV CHUID", "Card Holder Unique Identifier container of the GSC-IS/PIV card edge", NoValueMark},
    /* 101 */ {"A0000001166010", "U.S. General Services Administration (GSA)", "United States", "PIV Fingerprints", "Card holder fingerprint container", NoValueMark},
    /* 102 */ {"A0000001166030", "U.S. General Services Administration (GSA)", "United States", "PIV Facial Image", "Card holder facial image container", NoValueMark},
    /* 103 */ {"A0000001169000", "U.S. General Services Administration (GSA)", "United States", "PIV Security Object", "Signed security object over the PIV data containers", NoValueMark},
    /* 104 */ {"A000000116A001", "U.S. General Services Administration (GSA)", "United States", "PIV Printed Information", "Printed information container (name, agency, expiry)", NoValueMark},
    /* 105 */ {"A000000116DB00", "U.S. General Services Administration (GSA)", "United States", "PIV CCC", "Card Capability Container of the GSC-IS card edge", NoValueMark},
    // A000000118: Austria Card
    /* 106 */ {"A000000118010000", "Austria Card", "Austria", "DF_Verkehr", "Domestic Loyalty Program (Version 1.3): transport file (German Verkehr)", NoValueMark},
    /* 107 */ {"A000000118020000", "Austria Card", "Austria", "DF_Partner", "Domestic Loyalty Program (Version 1.3): partner file", NoValueMark},
    /* 108 */ {"A000000118030000", "Austria Card", "Austria", "DF_Sch\xFClerdaten", "Domestic Loyalty Program (Version 1.3): pupil data file", NoValueMark},
    /* 109 */ {"A000000118040000", "Austria Card", "Austria", "DF_KEP_SIG", "Domestic Loyalty Program (Version 1.32): KEP/SIG file, its meaning not publicly documented", NoValueMark},
    /* 110 */ {"A0000001184543", "Austria Card", "Austria", "a.sign premium signature application", "Secure signature application of Austrian ACOS citizen and bank cards (A-Trust a.sign premium), ASCII EC", NoValueMark},
    /* 111 */ {"A000000118454E", "Austria Card", "Austria", "a.sign premium decryption application", "Decryption key application of Austrian ACOS citizen and bank cards (A-Trust a.sign premium), also holding the citizen card identity link, ASCII EN", NoValueMark},
    // A000000121: PBS A/S (now Nets)
    /* 112 */ {"A0000001211010", "PBS A/S (now Nets)", "Denmark", "Dankort", "Danish domestic debit card (Visa/Dankort)", "EMV"},
    // A000000132: Java Card Forum
    /* 113 */ {"A0000001320001", "Java Card Forum", "United States", "Java Card biometry API package (org.javacardforum.javacard.biometry)", NoValueMark, NoValueMark},
    // A000000140: TDS Todos Data System AB
    /* 114 */ {"A0000001408001", "TDS Todos Data System AB", "Sweden", "Todos eCode", NoValueMark, NoValueMark},
    // A000000141: Associazione Bancaria Italiana (ABI)
    /* 115 */ {"A0000001410001", "Associazione Bancaria Italiana (ABI)", "Italy", "PagoBANCOMAT", "Italian domestic debit card", "EMV"},
    // A000000151: GlobalPlatform, Inc.
    /* 116 */ {"A0000001510000", "GlobalPlatform, Inc.", "United States", "Global Platform Security Domain AID", "GP Card Manager", "GP"},
    /* 117 */ {"A00000015153504341534400", "GlobalPlatform, Inc.", "United States", "GlobalPlatform Security Domain (ASCII SPCASD)", "Controlling authority security domain of a GlobalPlatform card", "GP"},
    // A000000152: Diners Club International Ltd. (now part of Discover)
    /* 118 */ {"A0000001523010", "Diners Club International Ltd.", "United States", "Discover", "Discover card (D-PAS)", "EMV"},
    /* 119 */ {"A0000001524010", "Diners Club International Ltd.", "United States", "Discover Common Debit", "Discover US common debit", "EMV"},
    // A000000154: Banrisul (Banco do Estado do Rio Grande do Sul)
    /* 120 */ {"A0000001544442", "Banrisul (Banco do Estado do Rio Grande do Sul)", "Brazil", "Banricompras Debito", "Debit card of Banrisul, southern Brazil", "EMV"},
    // A000000157: Zuehlke Engineering AG
    /* 121 */ {"A0000001570010", "Z\xFChlke Engineering AG", "Switzerland", "AMEX", NoValueMark, NoValueMark},
    /* 122 */ {"A0000001570020", "Z\xFChlke Engineering AG", "Switzerland", "MasterCard", NoValueMark, NoValueMark},
    /* 123 */ {"A0000001570021", "Z\xFChlke Engineering AG", "Switzerland", "Maestro", NoValueMark, NoValueMark},
    /* 124 */ {"A0000001570022", "Z\xFChlke Engineering AG", "Switzerland", "Maestro", NoValueMark, NoValueMark},
    /* 125 */ {"A0000001570023", "Z\xFChlke Engineering AG", "Switzerland", "CASH", NoValueMark, NoValueMark},
    /* 126 */ {"A0000001570030", "Z\xFChlke Engineering AG", "Switzerland", "VISA", NoValueMark, NoValueMark},
    /* 127 */ {"A0000001570031", "Z\xFChlke Engineering AG", "Switzerland", "VISA", NoValueMark, NoValueMark},
    /* 128 */ {"A0000001570040", "Z\xFChlke Engineering AG", "Switzerland", "JCB", NoValueMark, NoValueMark},
    /* 129 */ {"A0000001570050", "Z\xFChlke Engineering AG", "Switzerland", "Postcard", NoValueMark, NoValueMark},
    /* 130 */ {"A0000001570051", "Z\xFChlke Engineering AG", "Switzerland", "Postcard", NoValueMark, NoValueMark},
    /* 131 */ {"A0000001570100", "Z\xFChlke Engineering AG", "Switzerland", "MCard", NoValueMark, NoValueMark},
    /* 132 */ {"A0000001570104", "Z\xFChlke Engineering AG", "Switzerland", "MyOne", NoValueMark, NoValueMark},
    /* 133 */ {"A0000001570109", "Z\xFChlke Engineering AG", "Switzerland", "Mediamarkt Card", NoValueMark, NoValueMark},
    /* 134 */ {"A000000157010A", "Z\xFChlke Engineering AG", "Switzerland", "Gift Card", NoValueMark, NoValueMark},
    /* 135 */ {"A000000157010B", "Z\xFChlke Engineering AG", "Switzerland", "Bonuscard", NoValueMark, NoValueMark},
    /* 136 */ {"A000000157010C", "Z\xFChlke Engineering AG", "Switzerland", "WIR Card", NoValueMark, NoValueMark},
    /* 137 */ {"A000000157010D", "Z\xFChlke Engineering AG", "Switzerland", "Power Card", NoValueMark, NoValueMark},
    /* 138 */ {"A0000001574443", "Z\xFChlke Engineering AG", "Switzerland", "DINERS CLUB", NoValueMark, NoValueMark},
    /* 139 */ {"A0000001574444", "Z\xFChlke Engineering AG", "Switzerland", "Supercard Plus", NoValueMark, NoValueMark},
    // A000000167: IBM
    /* 140 */ {"A000000167413000FF", "IBM", "Germany", "JCOP Identify", "JCOP identify applet, returns information on the card platform", "JCOP"},
    /* 141 */ {"A000000167413001", "IBM", "Germany", "?", "Java Card package under the JCOP RID, named in public lists only as FIPS 140-2 (JCOP)", NoValueMark},
    // A000000172: Financial Information Service Co., Ltd. (FISC)
    /* 142 */ {"A000000172950001", "Financial Information Service Co., Ltd. (FISC)", "Taiwan", "FISC Financial Card", "Taiwan domestic financial (ATM and debit) chip card", "EMV"},
    // A000000177: Belgian Federal Government
    /* 143 */ {"A000000177504B43532D3135", "Belgian Federal Government", "Belgium", "Belgian eID PKCS-15", NoValueMark, NoValueMark},
    // A000000185: Post Office Ltd
    /* 144 */ {"A0000001850002", "Post Office Ltd", "United Kingdom", "Post Office Card Account", NoValueMark, "EMV"},
    // A000000188: Diners Club Switzerland Ltd
    /* 145 */ {"A0000001884443", "Diners Club Switzerland Ltd", "Switzerland", "Diners Club Switzerland (ASCII DC)", NoValueMark, NoValueMark},
    // A000000204: Association for Payment Clearing Services (APACS)
    /* 146 */ {"A0000002040000", "Association for Payment Clearing Services (APACS)", "United Kingdom", "?", NoValueMark, NoValueMark},
    // A000000228: Saudi Arabian Monetary Authority (SAMA)
    /* 147 */ {"A0000002281010", "Saudi Arabian Monetary Authority (SAMA)", "Saudi Arabia", "SPAN", "Saudi Payments Network domestic debit (mada)", "EMV"},
    /* 148 */ {"A0000002282010", "Saudi Arabian Monetary Authority (SAMA)", "Saudi Arabia", "SPAN2", "Saudi Payments Network application 2010", "EMV"},
    /* 149 */ {"A00000022820101010", "Saudi Arabian Monetary Authority (SAMA)", "Saudi Arabia", "SPAN2 (extended)", "Saudi Payments Network application with extended PIX", NoValueMark},
    // A000000247: ISO JTC1/SC17/WG3
    /* 150 */ {"A0000002471001", "ISO JTC1/SC17/WG3", "United Kingdom", "Machine Readable Travel Documents (MRTD)", "Electronic (Biometric) Passport. Issuer stored data application (The last three digits of the PIX shall be used to denote future version levels.)", "MRTD"},
    /* 151 */ {"A0000002472001", "ISO JTC1/SC17/WG3", "United Kingdom", "Machine Readable Travel Documents (MRTD)", "Electronic passport, second travel document application (PIX 2001)", "MRTD"},
    // A000000277: Interac Association
    /* 152 */ {"A0000002771010", "Interac Association", "Canada", "Interac", "Canadian domestic debit network", "EMV"},
    // A000000306: PC/SC Workgroup
    /* 153 */ {"A00000030600000000000000", "PC/SC Workgroup", "United States", "PC/SC storage card", "Identifier used by PC/SC to describe memory (storage) cards in the ATR", NoValueMark},
    // A000000308: National Institute of Standards and Technology (NIST)
    /* 154 */ {"A000000308000010000100", "National Institute of Standards and Technology (NIST)", "United States", "PIV Card Application - Personal Identity Verification card of US federal employees and contractors (FIPS 201, NIST SP 800-73) with PKI keys, CHUID and biometrics", "PIV card application, version 1.0 (NIST SP 800-73)", NoValueMark},
    // A000000315: Currence
    /* 155 */ {"A00000031510100528", "Currence", "Netherlands", "PIN", NoValueMark, "EMV"},
    /* 156 */ {"A0000003156020", "Currence", "Netherlands", "Chipknip", NoValueMark, "EMV"},
    // A000000323: Identity Alliance
    /* 157 */ {"A00000032301", "Identity Alliance", "United States", "MUSCLE Card applet package", "Load file of the open-source MUSCLE applet under the RID it moved to from A000000001", NoValueMark},
    /* 158 */ {"A0000003230101", "Identity Alliance", "United States", "MUSCLE Card applet instance", "Instance of the open-source MUSCLE applet for keys, PINs and objects", NoValueMark},
    // A000000324: Discover Financial Services
    /* 159 */ {"A0000003241010", "Discover Financial Services", "United States", "Discover ZIP", NoValueMark, NoValueMark},
    // A000000333: China UnionPay
    /* 160 */ {"A000000333010101", "China UnionPay", "China", "UnionPay Debit", NoValueMark, NoValueMark},
    /* 161 */ {"A000000333010102", "China UnionPay", "China", "UnionPay Credit", NoValueMark, NoValueMark},
    /* 162 */ {"A000000333010103", "China UnionPay", "China", "UnionPay Quasi-credit", NoValueMark, NoValueMark},
    /* 163 */ {"A000000333010106", "China UnionPay", "China", "UnionPay Electronic Cash", NoValueMark, NoValueMark},
    /* 164 */ {"A000000333010108", "China UnionPay", "China", "UnionPay U.S. Common Debit", NoValueMark, NoValueMark},
    // A000000359: Euro Alliance of Payment Schemes (EAPS)
    /* 165 */ {"A0000003591010", "Euro Alliance of Payment Schemes (EAPS)", "Belgium", NoValueMark, "EAPS application 1010 (Euro Alliance of Payment Schemes)", NoValueMark},
    /* 166 */ {"A0000003591010028001", "Euro Alliance of Payment Schemes (EAPS)", "Belgium", "Girocard (EAPS)", "German girocard accepted through the Euro Alliance of Payment Schemes", "EMV"},
    /* 167 */ {"A00000035910100380", "Euro Alliance of Payment Schemes (EAPS)", "Belgium", NoValueMark, "EAPS application with extended PIX 10100380", NoValueMark},
    // A000000366: Poste Italiane S.p.A.
    /* 168 */ {"A0000003660001", "Poste Italiane S.p.A.", "Italy", "Postamat (Poste Italiane debit card)", NoValueMark, NoValueMark},
    /* 169 */ {"A0000003660002", "Poste Italiane S.p.A.", "Italy", "Postamat Visa (Poste Italiane co-branded card)", NoValueMark, NoValueMark},
    // A000000371: Interswitch Limited
    /* 170 */ {"A0000003710001", "Interswitch Limited", "Nigeria", "Verve", "Nigerian domestic debit card (Interswitch)", "EMV"},
    // A000000396: NXP Semiconductors Germany GmbH
    /* 171 */ {"A0000003964D66344D0002", "NXP Semiconductors Germany GmbH", "Germany", "MIFARE4Mobile", "Managing MIFARE applications on mobile secure elements (ASCII Mf4M)", NoValueMark},
    // A000000397: Microsoft Corporation
    /* 172 */ {"A00000039742544659", "Microsoft Corporation", "United States", "Microsoft IDMP (GIDS)", "Microsoft Generic Identity Device (GIDS) applet (ASCII BTFY)", NoValueMark},
    /* 173 */ {"A0000003974349445F0100", "Microsoft Corporation", "United States", "Microsoft PnP AID", "Card identifier used by Windows smart card plug and play (ASCII CID_)", NoValueMark},
    // A000000427: Unibanco (Hipercard)
    /* 174 */ {"A0000004271010", "Unibanco (Hipercard)", "Brazil", "Hiperchip (Hipercard chip payment application)", NoValueMark, NoValueMark},
    // A000000432: Universal Electronic Card (UEC), operator of the PRO100 payment system
    /* 175 */ {"A0000004320001", "Universal Electronic Card (UEC)", "Russia", "PRO100", NoValueMark, NoValueMark},
    // A000000436: Edenred
    /* 176 */ {"A0000004360100", "Edenred", "France", "Ticket Restaurant", NoValueMark, NoValueMark},
    // A000000439: The Exchange Network (ACCEL/Exchange, now Accel)
    /* 177 */ {"A0000004391010", "The Exchange Network (ACCEL/Exchange, now Accel)", "United States", "Exchange ATM card", "Card application of The Exchange Network, a US ATM network", NoValueMark},
    // A000000454: eTranzact International Plc
    /* 178 */ {"A0000004540010", "eTranzact International Plc", "Nigeria", "Etranzact Genesis Card", "Nigerian domestic payment card of eTranzact", "EMV"},
    /* 179 */ {"A0000004540011", "eTranzact International Plc", "Nigeria", "Etranzact Genesis Card 2", "Nigerian domestic payment card of eTranzact, second application", "EMV"},
    // A000000476: Google Inc.
    /* 180 */ {"A0000004762010", "Google Inc.", "United States", "Google Controller", "Controller applet of the Google Wallet secure element", NoValueMark},
    /* 181 */ {"A0000004763030", "Google Inc.", "United States", "Google MIFARE Manager", NoValueMark, NoValueMark},
    /* 182 */ {"A0000004766C", "Google Inc.", "United States", "Google Payment", NoValueMark, "EMV"},
    /* 183 */ {"A000000476A010", "Google Inc.", "United States", "Google GSD Manager", NoValueMark, "GP"},
    /* 184 */ {"A000000476A110", "Google Inc.", "United States", "Google GSD Manager", NoValueMark, "GP"},
    // A000000485: JVL Ventures, LLC (Softcard)
    /* 185 */ {"A000000485", "JVL Ventures, LLC (Softcard)", "United States", "Softcard SmartTap (payment, offers and loyalty in one tap)", NoValueMark, NoValueMark},
    // A000000524: National Payments Corporation of India (NPCI)
    /* 186 */ {"A0000005241010", "National Payments Corporation of India (NPCI)", "India", "RuPay", "Indian domestic card scheme of NPCI", "EMV"},
    // A000000527: Yubico AB
    /* 187 */ {"A0000005271002", "Yubico AB", "Sweden", "YubiKey NEO applet", "Yubico YubiKey NEO applet (PIX 1002)", "YKNEO"},
    /* 188 */ {"A000000527200101", "Yubico AB", "Sweden", "YubiKey OTP", "Yubico one-time password applet", "YKNEO"},
    /* 189 */ {"A000000527210101", "Yubico AB", "Sweden", "YubiKey OATH", "Yubico OATH (TOTP and HOTP) applet", "YKNEO"},
    // A000000559: GSM Association (GSMA)
    /* 190 */ {"A0000005591010FFFFFFFF8900000100", "GSM Association (GSMA)", "United Kingdom", "eUICC ISD-R", NoValueMark, NoValueMark},
    /* 191 */ {"A0000005591010FFFFFFFF8900000200", "GSM Association (GSMA)", "United Kingdom", "eUICC ECASD", NoValueMark, NoValueMark},
    /* 192 */ {"A0000005591010FFFFFFFF8900000D00", "GSM Association (GSMA)", "United Kingdom", "eUICC ISD-P executable load file", NoValueMark, NoValueMark},
    /* 193 */ {"A0000005591010FFFFFFFF8900000E00", "GSM Association (GSMA)", "United Kingdom", "eUICC ISD-P executable module", NoValueMark, NoValueMark},
    /* 194 */ {"A0000005591010FFFFFFFF8900000F00", "GSM Association (GSMA)", "United Kingdom", "eUICC ISD-P reserved AID (0F00)", NoValueMark, NoValueMark},
    /* 195 */ {"A0000005591010FFFFFFFF8900001000", "GSM Association (GSMA)", "United Kingdom", "eUICC ISD-P (1000)", NoValueMark, NoValueMark},
    // A000000617: Fidesmo AB
    /* 196 */ {"A00000061700", "Fidesmo AB", "Sweden", "Fidesmo platform", NoValueMark, NoValueMark},
    // A000000620: Debit Network Alliance LLC
    /* 197 */ {"A0000006200620", "Debit Network Alliance LLC", "United States", "Debit Network Alliance", "US common debit application of the Debit Network Alliance", NoValueMark},
    // A000000658: National Payment Card System (NSPK)
    /* 198 */ {"A0000006581010", "National Payment Card System (NSPK)", "Russia", "Mir Credit", NoValueMark, NoValueMark},
    /* 199 */ {"A0000006582010", "National Payment Card System (NSPK)", "Russia", "Mir Debit", NoValueMark, NoValueMark},
    // A000000672: Interbank Card Center (BKM)
    /* 200 */ {"A0000006723010", "Interbank Card Center (BKM)", "Turkey", "TROY Credit", "Turkish domestic card scheme of BKM, credit", "EMV"},
    /* 201 */ {"A0000006723020", "Interbank Card Center (BKM)", "Turkey", "TROY Debit", "Turkish domestic card scheme of BKM, debit", "EMV"},
    // A000000770: Indian Oil Corporation Limited
    /* 202 */ {"A0000007705850", "Indian Oil Corporation Limited", "India", "XTRAPOWER Fleet Card", "Indian Oil\x92s prepaid fuel card for vehicle fleets, ASCII XP", "EMV"},
    // B012345678: None (unregistered test identifier)
    /* 203 */ {"B012345678", "None (unregistered test identifier)", "Not applicable", "Maestro TEST", "Unregistered identifier of a Maestro test application, used in development", "EMV"},
    // D040000001: PayLife Bank (formerly Europay Austria)
    /* 204 */ {"D040000001000002", "PayLife Bank (formerly Europay Austria)", "Austria", "Quick (IEP), preferred application", "Austrian Quick electronic purse, preferred application", NoValueMark},
    // D040000002: PayLife Bank (formerly Europay Austria)
    /* 205 */ {"D040000002000002", "PayLife Bank (formerly Europay Austria)", "Austria", "Reserved (RFU)", "Austrian domestic application listed as reserved for future use; seen on Austrian Maestro cards", NoValueMark},
    // D040000003: PayLife Bank (formerly Europay Austria)
    /* 206 */ {"D040000003000002", "PayLife Bank (formerly Europay Austria)", "Austria", "POS", "Austrian domestic point-of-sale application", NoValueMark},
    // D040000004: PayLife Bank (formerly Europay Austria)
    /* 207 */ {"D040000004000002", "PayLife Bank (formerly Europay Austria)", "Austria", "ATM", "Austrian domestic ATM application", NoValueMark},
    // D04000000B: PayLife Bank (formerly Europay Austria)
    /* 208 */ {"D04000000B000002", "PayLife Bank (formerly Europay Austria)", "Austria", "Retail", "Austrian domestic retail application", NoValueMark},
    // D04000000C: PayLife Bank (formerly Europay Austria)
    /* 209 */ {"D04000000C000002", "PayLife Bank (formerly Europay Austria)", "Austria", "Bank_Data", "Austrian domestic bank data application", NoValueMark},
    // D04000000D: PayLife Bank (formerly Europay Austria)
    /* 210 */ {"D04000000D000002", "PayLife Bank (formerly Europay Austria)", "Austria", "Shopping", "Austrian domestic shopping application", NoValueMark},
    // D040000013: Austria Card
    /* 211 */ {"D040000013000001", "Austria Card", "Austria", "DF_UNI_Kepler1", "Domestic Loyalty Program (university card, part 1)", NoValueMark},
    /* 212 */ {"D040000013000001", "Austria Card", "Austria", "DF_Sch\xFCler1", "Domestic Loyalty Program (Sch\xFClerausweis, part 1)", NoValueMark},
    /* 213 */ {"D040000013000002", "Austria Card", "Austria", "DF_UNI_Kepler2", "Domestic Loyalty Program (university card, part 2)", NoValueMark},
    /* 214 */ {"D040000013000002", "Austria Card", "Austria", "DF_Sch\xFCler2", "Domestic Loyalty Program (Sch\xFClerausweis, part 2)", NoValueMark},
    // D040000014: Austria Card
    /* 215 */ {"D040000014000001", "Austria Card", "Austria", "DF_Mensa", "Domestic Loyalty Program (canteen)", NoValueMark},
    // D040000015: Austria Card
    /* 216 */ {"D040000015000001", "Austria Card", "Austria", "DF_UNI_Ausweis", "Domestic Loyalty Program (Version 2.0)", NoValueMark},
    /* 217 */ {"D040000015000001", "Austria Card", "Austria", "DF_Ausweis", "Domestic Loyalty Program (Version 1.3)", NoValueMark},
    // D040000019: Austria Card
    /* 218 */ {"D0400000190001", "Austria Card", "Austria", "EMV ATM Maestro", "Austrian domestic EMV application for Maestro at ATMs (Version 2.1)", NoValueMark},
    /* 219 */ {"D0400000190002", "Austria Card", "Austria", "EMV POS Maestro", "Austrian domestic EMV application for Maestro at the point of sale (Version 2.1)", NoValueMark},
    /* 220 */ {"D0400000190003", "Austria Card", "Austria", "EMV ATM MasterCard", "Austrian domestic EMV application for MasterCard at ATMs (Version 2.1)", NoValueMark},
    /* 221 */ {"D0400000190004", "Austria Card", "Austria", "EMV POS MasterCard", "Austrian domestic EMV application for MasterCard at the point of sale (Version 2.1)", NoValueMark},
    /* 222 */ {"D0400000190010", "Austria Card", "Austria", "Digital ID", "Austria Card domestic application named Digital ID (Version 2.1); its use is not publicly documented", NoValueMark},
    // D268000001: Ministry of Finance of Georgia (Revenue Service)
    /* 223 */ {"D268000001", "Ministry of Finance of Georgia (Revenue Service)", "Georgia", "Fiscal module application", "Revenue Service application in the crypto module of Georgian fiscal cash registers", NoValueMark},
    // D276000005: Giesecke & Devrient GmbH
    /* 224 */ {"D276000005", "Giesecke & Devrient GmbH", "Germany", NoValueMark, "National RID of ISO/IEC 7816-5 country code 276 (Germany)", NoValueMark},
    /* 225 */ {"D276000005AA040360010410", "Giesecke & Devrient GmbH", "Germany", "G&D application (Nokia 6212 NFC phone)", NoValueMark, NoValueMark},
    /* 226 */ {"D276000005AA0503E00401", "Giesecke & Devrient GmbH", "Germany", "G&D application (Nokia 6212 NFC phone)", NoValueMark, NoValueMark},
    /* 227 */ {"D276000005AA0503E00501", "Giesecke & Devrient GmbH", "Germany", "G&D application (Nokia 6212 NFC phone)", NoValueMark, NoValueMark},
    /* 228 */ {"D276000005AA0503E0050101", "Giesecke & Devrient GmbH", "Germany", "G&D application (Nokia 6212 NFC phone)", NoValueMark, NoValueMark},
    /* 229 */ {"D276000005AB0503E0040101", "Giesecke & Devrient GmbH", "Germany", "G&D application (Nokia 6212 NFC phone)", NoValueMark, NoValueMark},
    // D276000022: IBM Laboratories
    /* 230 */ {"D27600002200000001", "IBM Laboratories", "Germany", "SCT Loyalty (IBM sample)", "Loyalty demo application on the IBM test card for the book Smart Card Application Development Using Java", NoValueMark},
    /* 231 */ {"D27600002200000002", "IBM Laboratories", "Germany", "Business Card (IBM sample)", "Electronic business card demo application on the IBM test card for the book Smart Card Application Development Using Java", NoValueMark},
    /* 232 */ {"D27600002200000060", "IBM Laboratories", "Germany", "IBM PKCS#11 token", "IBM token application used through PKCS#11", NoValueMark},
    // D276000025: Zentraler Kreditausschuss (ZKA)
    /* 233 */ {"D276000025", "Zentraler Kreditausschuss (ZKA)", "Germany", "ZKA", "German banking industry RID (bare)", NoValueMark},
    /* 234 */ {"D27600002545410100", "Zentraler Kreditausschuss (ZKA)", "Germany", NoValueMark, "German debit (electronic cash) application, ASCII EA", NoValueMark},
    /* 235 */ {"D27600002545500100", "Zentraler Kreditausschuss (ZKA)", "Germany", "GeldKarte", "German electronic purse, ASCII EP", "EMV"},
    /* 236 */ {"D27600002547410100", "Zentraler Kreditausschuss (ZKA)", "Germany", "girocard ATM", NoValueMark, NoValueMark},
    // D276000060: Wolfgang Rankl
    /* 237 */ {"D276000060", "Wolfgang Rankl", "Germany", NoValueMark, NoValueMark, NoValueMark},
    // D276000085: NXP Semiconductors Germany GmbH
    /* 238 */ {"D2760000850100", "NXP Semiconductors Germany GmbH", "Germany", "NFC Forum Type 4 Tag (v1.0)", "NDEF tag application, mapping version 1.0", NoValueMark},
    /* 239 */ {"D2760000850101", "NXP Semiconductors Germany GmbH", "Germany", "NFC Forum Type 4 Tag (v2.0)", "NDEF tag application, mapping version 2.0", NoValueMark},
    // D276000118: Giesecke & Devrient (Java Card telecommunications)
    /* 240 */ {"D276000118", "Giesecke & Devrient (Java Card telecommunications)", "Germany", NoValueMark, NoValueMark, NoValueMark},
    /* 241 */ {"D2760001180101", "Giesecke & Devrient (Java Card telecommunications)", "Germany", "APDU Tester applet (G&D)", "Java Card test applet of the G&D SEEK-for-Android APDU Tester, exercising APDU cases over the Open Mobile API", NoValueMark},
    // D276000124: fsfEurope
    /* 242 */ {"D27600012401", "fsfEurope", "Germany", "OpenPGP Card", "For selection when not knowing the exact full AID", "OpenPGP"},
    /* 243 */ {"D276000124010101FFFF000000010000", "fsfEurope", "Germany", "OpenPGP Card v1.1", "OpenPGP card application 1.1 in its full AID form: RID D276000124 (FSFE), application 01, version 0101, manufacturer FFFF (test range), serial number 00000001, reserved 0000. It holds the signature, decryption and authentication keys used by GnuPG", "OpenPGP"},
    /* 244 */ {"D2760001240102000000000000010000", "fsfEurope", "Germany", "OpenPGP Card v2.0", "OpenPGP card application 2.0, full AID of a test card (manufacturer 0000)", "OpenPGP"},
    /* 245 */ {"D27600012402", "fsfEurope", "Germany", "SmartChess", "SmartChess application, for selection without the full AID", "SmartChess"},
    /* 246 */ {"D2760001240200010000000000000000", "fsfEurope", "Germany", "SmartChess (full AID)", "SmartChess application, full AID with version 0001 and serial number zero", "SmartChess"},
    // D410000001: no vendor recorded
    /* 247 */ {"D4100000011010", NoValueMark, "Republic of Korea", NoValueMark, NoValueMark, NoValueMark},
    // D528005021: no vendor recorded
    /* 248 */ {"D5280050218002", NoValueMark, "Netherlands", "?", "Domestic payment application under a Dutch national RID", "EMV"},
    // D578000002: BankAxept AS
    /* 249 */ {"D5780000021010", "BankAxept AS", "Norway", "BankAxept", "Norwegian domestic debit card", "EMV"},
    // D756000001: Reka (Schweizer Reisekasse)
    /* 250 */ {"D7560000010101", "Reka (Schweizer Reisekasse)", "Switzerland", "Reka Card", "Swiss travel fund (Reka) payment card", NoValueMark},
    // D756000030: Migros Bank AG
    /* 251 */ {"D7560000300101", "Migros Bank AG", "Switzerland", "M Budget", NoValueMark, NoValueMark},
    // E80704007F: no vendor recorded
    /* 252 */ {"E80704007F00070302", NoValueMark, NoValueMark, "nPA", "German eID", NoValueMark},
    // E82881C117: no vendor recorded
    /* 253 */ {"E82881C11702", NoValueMark, NoValueMark, "ISO/IEC 24727 application", NoValueMark, NoValueMark},
    // E828BD080F: no vendor recorded
    /* 254 */ {"E828BD080F", NoValueMark, NoValueMark, "ISO/IEC 7816-15 (PKCS #15)", "Cryptographic information application, identified by OID 1.0.7816.15", NoValueMark},
    // F000000003: no vendor recorded
    /* 255 */ {"F0000000030001", NoValueMark, NoValueMark, "BRADESCO", "Brazilian Bank Banco Bradesco", "EMV"},
    /* 256 */ {"", "", "", "end of list", "", ""},
};

// The behaviour of the virtual card: its ATR and its answers to commands,
// kept apart from the socket code so that it can be reasoned about (and
// tested) on its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vcard {

using Bytes = std::vector<std::uint8_t>;

enum class Profile {
  Apps,    // T=1 card with three applications, full CPLC answer at once
  T0,      // T=0 card: 61 xx / GET RESPONSE, 6C 2D for GET DATA
  None,    // T=1 card without any known application
  Vanish,  // like Apps; the link to the reader is dropped by the caller
};

// Parses a profile name ("apps", "t0", "none", "vanish"); false if unknown.
bool parse_profile(const std::string& name, Profile& out);
const char* profile_name(Profile profile);

// One application the card carries: its AID and the FCI it answers with.
struct Application {
  Bytes aid;
  Bytes fci;
};

// The application the virtual cards use for aid: the FCI of PSE, Visa,
// MasterCard or OpenPGP for their AIDs, otherwise a bare FCI naming aid.
Application application_for(const Bytes& aid);

class Card {
 public:
  explicit Card(Profile profile);

  // Replaces the profile's applications by one per AID, in this order.
  void carry_only(const std::vector<Bytes>& aids);

  const Bytes& atr() const { return atr_; }
  const Bytes& cplc() const { return cplc_; }  // the whole 9F 7F 2A ... object
  const std::vector<Application>& applications() const { return apps_; }
  bool uses_t0() const { return profile_ == Profile::T0; }

  // Power off, power on and reset all bring the card back to its initial
  // state: nothing selected, no answer pending.
  void power_off();
  void power_on();
  void reset();

  // Answers one command APDU with a response APDU (data + SW1 SW2).
  Bytes process(const Bytes& command);

  // True when the last processed command was a SELECT (INS A4), answered or not.
  bool last_was_select() const { return last_was_select_; }

 private:
  Bytes select(const Bytes& command);
  Bytes get_response(const Bytes& command);
  Bytes get_data(const Bytes& command);
  void clear_state();

  Profile profile_;
  Bytes atr_;
  Bytes cplc_;
  std::vector<Application> apps_;
  int selected_ = -1;  // index into apps_, -1 when nothing is selected
  Bytes pending_;      // T=0: data announced with 61 xx, fetched by GET RESPONSE
  bool last_was_select_ = false;
};

// Upper-case hex text of a byte sequence, no separators.
std::string to_hex(const Bytes& bytes);
// Parses hex digits (either case, no separators); false on bad input.
bool from_hex(const std::string& text, Bytes& out);

}  // namespace vcard

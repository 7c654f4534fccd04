// Writes the catalogue's AIDs, in catalogue order, as a C header for
// minimal_scan: `static const char* const AIDS[]` and AID_COUNT.
#include <cstdio>

#include "catalogue/aid_catalogue.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_aid_list OUTPUT\n");
    return 2;
  }
  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  std::fprintf(out, "/* The catalogue's AIDs in catalogue order (written by bench_aid_list). */\n");
  std::fprintf(out, "static const char* const AIDS[] = {\n");
  int count = 0;
  for (const AidRecord* row = AidCatalogue; !row->aid.empty(); ++row, ++count)
    std::fprintf(out, "    \"%s\",\n", row->aid.c_str());
  std::fprintf(out, "};\n#define AID_COUNT %d\n", count);
  return std::fclose(out) == 0 ? 0 : 1;
}

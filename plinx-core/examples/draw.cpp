// Draws one number for the destiny given on the command line: plinx-draw 4290
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "plinx/engine.hpp"

int main(int argc, char** argv) {
  std::int64_t destiny = 0;
  const char* text = argc == 2 ? argv[1] : "";
  const char* end = text + std::strlen(text);
  const auto parsed = std::from_chars(text, end, destiny);
  if (argc != 2 || parsed.ec != std::errc() || parsed.ptr != end) {
    (void)std::fputs("usage: plinx-draw DESTINY (a signed 64-bit integer)\n", stderr);
    return 2;
  }
  try {
    char shortest[32];
    const double drawn = plinx::Engine{}.pull(destiny);
    *std::to_chars(shortest, shortest + sizeof shortest - 1, drawn).ptr = '\0';
    (void)std::printf("%s\n", shortest);
  } catch (const plinx::DrawError& error) {
    (void)std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}

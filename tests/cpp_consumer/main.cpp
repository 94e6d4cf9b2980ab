// Prints the draw for destiny 4290 with a zero nonce: the shortest text that reads back as
// the same double.
#include <charconv>
#include <cstdio>

#include "plinx/engine.hpp"

int main() {
  char text[32];
  const double drawn = plinx::Engine{}.pull(4290, plinx::Nonce{});
  *std::to_chars(text, text + sizeof text - 1, drawn).ptr = '\0';
  return std::printf("%s\n", text) < 0 ? 1 : 0;
}

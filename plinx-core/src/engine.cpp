#include "plinx/engine.hpp"

#include "os_random.hpp"
#include "pipeline.hpp"

namespace plinx {

double Engine::pull(std::int64_t destiny) const {
  Nonce nonce;
  if (const auto failure = detail::process_random_source().fill(nonce)) {
    throw DrawError("Error: " + detail::describe(*failure));
  }
  return detail::draw(destiny, nonce);
}

double Engine::pull(std::int64_t destiny, const Nonce& nonce) const {
  return detail::draw(destiny, nonce);
}

}  // namespace plinx

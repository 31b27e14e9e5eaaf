#include "serial/low_latency.h"

namespace corvat {

namespace {
class NoSerialFlags : public SerialFlags {
  public:
    std::optional<int> Get(int) override { return std::nullopt; }
    bool Set(int, int) override { return false; }
};
}  // namespace

SerialFlags& SystemSerialFlags() {
    static NoSerialFlags flags;
    return flags;
}

void LowLatency::Engage(int) {}
void LowLatency::Release(int) {}

}  // namespace corvat

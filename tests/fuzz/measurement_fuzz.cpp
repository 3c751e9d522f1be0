// libFuzzer target for the measurement reader and the house-curve reader.
// Besides surviving any input, a measurement that reads holds at least 10
// finite points, frequencies strictly increasing, one of them between
// 31.5 Hz and 8 kHz; a house curve that reads gives a finite level
// everywhere.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "eq/MeasurementFile.h"

namespace {
void Check(bool condition) {
  if (!condition) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const Measurement m = ParseMeasurement(text, "fuzz.txt");
    Check(m.hz.size() == m.db.size() && m.hz.size() >= 10);
    bool inRange = false;
    for (size_t i = 0; i < m.hz.size(); ++i) {
      Check(std::isfinite(m.hz[i]) && std::isfinite(m.db[i]) && m.hz[i] > 0);
      if (i > 0) Check(m.hz[i] > m.hz[i - 1]);
      inRange = inRange || (m.hz[i] >= 31.5 && m.hz[i] <= 8000);
    }
    Check(inRange);
  } catch (const MeasurementError&) {
  }
  try {
    const TargetCurve house = TargetCurve::FromHouseCurveText(text, "fuzz.txt");
    for (double hz : {1e-3, 20.0, 997.0, 1e4, 1e9}) Check(std::isfinite(house.At(hz)));
  } catch (const MeasurementError&) {
  }
  return 0;
}

#pragma once
// A measurement sampled every 1/48 octave from 20 Hz to 20 kHz from a
// function of frequency, for the fit's tests and benchmark.
#include <cmath>

#include "eq/MeasurementFile.h"

template <typename F>
Measurement SampledMeasurement(F db) {
  Measurement m;
  for (double hz = 20; hz <= 20000; hz *= std::pow(2.0, 1.0 / 48)) {
    m.hz.push_back(hz);
    m.db.push_back(db(hz));
  }
  return m;
}

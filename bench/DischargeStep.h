#pragma once

class TestProgram;

// The program the timing and memory benchmarks run: one Discharge step at 1 A constant current,
// with no stop but its step time, so that every pass is a plain sample and a row.
namespace DischargeStep {

void fill(TestProgram &program, double seconds);

} // namespace DischargeStep

#pragma once

// Asks the scheduler to run the calling thread as soon as it wakes, even on a
// machine whose cores are busy: a short time slice, which kernels from 6.12
// let preempt longer ones on wake-up, and no timer slack. A line at 115200
// baud moves a character every 87 µs; the default slice of a few
// milliseconds would let dozens go by unanswered. Needs no privilege; false
// where the kernel takes neither.
namespace HiloPuntual {
bool aplica();
}

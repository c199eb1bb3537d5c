#pragma once
// The check behind each fuzz target, one function per reader. Each fuzzer
// executable calls one of them from its libFuzzer entry point; test_fuzz links
// all of them and runs each on its kept inputs. Each returns 0 and aborts the
// process when a check fails.
#include <cstddef>
#include <cstdint>

namespace ziv::fuzz {
namespace numbers { int OneInput(const uint8_t* data, size_t size); }
namespace text { int OneInput(const uint8_t* data, size_t size); }
namespace rs232c { int OneInput(const uint8_t* data, size_t size); }
namespace operators { int OneInput(const uint8_t* data, size_t size); }
namespace directory { int OneInput(const uint8_t* data, size_t size); }
namespace point_table { int OneInput(const uint8_t* data, size_t size); }
namespace position { int OneInput(const uint8_t* data, size_t size); }
namespace workbook { int OneInput(const uint8_t* data, size_t size); }
}  // namespace ziv::fuzz

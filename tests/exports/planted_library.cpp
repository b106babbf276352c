// A Sumwright.dll of someone else's, planted in a caller's folder or on PATH: its answers are not
// the library's, so a test sees at once when Sumwright.exe takes it.
#include <cstdint>

extern "C" {

__declspec(dllexport) std::int32_t __stdcall FILELEN(const char* /*path*/) {
  return 424242;
}

__declspec(dllexport) float __stdcall CHOOSESTEP(const float* /*first*/, const float* /*second*/) {
  return 4242.0f;
}

}  // extern "C"

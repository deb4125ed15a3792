// GoogleTest hands every failure to OutputDebugStringA as well. Under Wine on qemu that call
// raises an exception the emulation cannot deliver, and the test program dies right after its
// first failure, before the rest of its report. The Windows test programs therefore bind the
// routine's import slot to one that ignores the text; everything still goes to standard output.
#include <windows.h>

namespace {
void WINAPI IgnoreDebugString(LPCSTR) {}
}  // namespace

extern "C" void(WINAPI* output_debug_string_import)(LPCSTR) __asm__("__imp__OutputDebugStringA@4");
void(WINAPI* output_debug_string_import)(LPCSTR) = IgnoreDebugString;

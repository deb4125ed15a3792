// A shared library that is no gauge module: it exports a routine and neither of the two records.
#if defined(_WIN32)
extern "C" __declspec(dllexport) int PlainRoutine() { return 0; }
#else
extern "C" __attribute__((visibility("default"))) int PlainRoutine() { return 0; }
#endif

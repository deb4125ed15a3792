// A shared library that is no gauge module: it exports a routine and neither of the two records.
extern "C" __attribute__((visibility("default"))) int PlainRoutine() { return 0; }

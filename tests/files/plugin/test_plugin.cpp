// A shared library for the library-function tests.
extern "C" int quarvel_plugin_answer() { return 42; }

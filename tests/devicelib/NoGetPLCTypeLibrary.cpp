// A device library that loads but exports no GetPLCType; its one entry point
// answers with a value of its own, so a test can tell that it was bound.

#ifdef _WIN32
#define TEST_EXPORT extern "C" __declspec(dllexport)
#else
#define TEST_EXPORT extern "C" __attribute__((visibility("default")))
#endif

TEST_EXPORT int ResetLocalDev(int) {
  return 7;
}

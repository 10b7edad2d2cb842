// A library that a test Kelvane.dll imports, as a device library imports its
// packet-capture driver's: the test puts it where the loader must find it.

extern "C" __declspec(dllexport) int KelvaneHelperAnswer() {
  return 41;
}

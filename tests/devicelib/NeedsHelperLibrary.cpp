// A device library that imports KelvaneHelper.dll and, like
// NoGetPLCTypeLibrary, exports only ResetLocalDev, which answers through the
// import: a load shows that the import was found and bound.

extern "C" __declspec(dllimport) int KelvaneHelperAnswer();

extern "C" __declspec(dllexport) int ResetLocalDev(int) {
  return KelvaneHelperAnswer() + 1;
}

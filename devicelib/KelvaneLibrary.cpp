#include "devicelib/KelvaneLibrary.h"

const char* KelvaneLoadResultText(KelvaneLoadResult result) {
  switch (result) {
  case KelvaneLoadResult::Loaded:
    return "Kelvane.dll is loaded";
  case KelvaneLoadResult::NotFound:
    return "cannot load Kelvane.dll from the program's folder or the system folder";
  case KelvaneLoadResult::NotWin32Library:
    return "Kelvane.dll is not a 32-bit Windows library";
  case KelvaneLoadResult::NoGetPLCType:
    return "Kelvane.dll has no GetPLCType entry point";
  }
  return "Kelvane.dll cannot be used";
}

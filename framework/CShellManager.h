#pragma once

// The framework's helper for shell items in file dialogs and lists. Our
// program shows no shell items, so it holds no state; the application object
// still creates one for the life of its dialog.
class CShellManager {};

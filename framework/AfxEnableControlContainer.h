#pragma once

// Enables hosting of ActiveX controls in dialogs. Our dialogs hold only
// window-class controls, so there is nothing to set up.
inline void AfxEnableControlContainer() {}

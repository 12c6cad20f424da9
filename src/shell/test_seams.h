// The test build's stand-ins for what needs a person at the desktop, so the
// real executable runs unattended: message boxes are written to the file
// NORVANE_TEST_LOG and answered in turn from NORVANE_TEST_ANSWERS
// ("yes,no,..."; "no" or OK when used up), and what the default browser or
// file manager would open is written to the log instead. Only a build with
// NV_TEST_SEAMS has them; in the shipped build the call does nothing.
#pragma once

namespace nv {

#ifdef NV_TEST_SEAMS
void InstallTestSeams();
#else
inline void InstallTestSeams() {}
#endif

}  // namespace nv

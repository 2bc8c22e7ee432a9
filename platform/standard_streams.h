// SPDX-License-Identifier: MIT
#pragma once
// The three standard streams of a process, made safe to rely on before anything else opens a file.
namespace zmr::platform {

// Opens the null device on each of standard input, output and error that the process was started
// without, so that the next file the program opens cannot take its place (and the program's
// output cannot end up in that file). Call first thing in main(). Nothing to do on Windows.
void OpenMissingStandardStreams();

}  // namespace zmr::platform

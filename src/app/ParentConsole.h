#pragma once

// On Windows the program is built as a windowed program, so a console that
// started it (cmd.exe, PowerShell, a script) does not receive what it prints:
// the command-line face (--help, --version, --apply, --diff, --read, --trace -)
// would answer into nothing. This attaches the standard streams that are not
// already redirected to the console of the parent process, if it has one.
// Started from Explorer there is none, and nothing changes. Elsewhere the
// streams are the terminal's already, and this does nothing.
void AttachParentConsole();

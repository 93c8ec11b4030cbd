#pragma once

namespace tobrisk {

// A program built for the Windows GUI gets no console of its own, and the
// shell that starts it does not wait for it. Its few answers (help, version,
// a usage error) go where a user looks for them: to the handles it was given
// when its output is redirected to a file or a pipe, else to the console of
// the shell that started it, if there is one. Call before writing them.
void SendAnswersToTheParentConsole();

}  // namespace tobrisk

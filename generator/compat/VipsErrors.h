// libvips keeps one error buffer for the whole process, and every failure
// anywhere adds to it. So that each picture's failure is told with its own
// message alone, every libvips call of the generator runs through here.
#ifndef WV_GENERATOR_VIPSERRORS_H
#define WV_GENERATOR_VIPSERRORS_H

#include <functional>
#include <string>

// Runs `attempt`, which calls libvips and returns false with a message
// taken from the error buffer when it fails. Attempts run side by side;
// one that fails is run once more, alone: after the attempts of the other
// threads have ended and with the buffer emptied, so that the message it
// gives is its own. `error` gets that message. The buffer is emptied after
// every attempt, so it never grows.
// An attempt waits for nothing but libvips: it must neither call this
// again nor wait for the decode budget, or a retry that waits for every
// attempt to end would wait for its own thread (see Generator.h). Either
// throws std::logic_error instead of hanging.
bool withOwnVipsErrors(const std::function<bool(std::string&)>& attempt, std::string& error);

// Whether this thread is inside an attempt of withOwnVipsErrors.
bool insideVipsAttempt();

// The text of the error buffer as one line: its lines in order, each once,
// at most `limit` bytes (cut at a character). "not a readable picture"
// when it is empty.
std::string vipsErrorLine(const std::string& buffer, std::size_t limit = 400);

#endif

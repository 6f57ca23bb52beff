// How kavrel-sim is asked to stop: SIGINT or SIGTERM on POSIX systems,
// Ctrl-C, Ctrl-Break or the console closing on Windows.
#ifndef KAVREL_SIM_STOP_REQUEST_H
#define KAVREL_SIM_STOP_REQUEST_H

namespace kavrel::sim {

// Before any thread starts: from now on the requests are only taken by the wait below.
void holdStopRequests();
// Returns once a request came.
void waitForStopRequest();

}  // namespace kavrel::sim

#endif

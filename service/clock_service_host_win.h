// TickwellClock.exe as the service control manager runs it: it reports its state, serves the
// pipe with the request handler until it is told to stop, and tells the event log what an
// administrator should see.
#pragma once

// Connects to the service control manager and returns when the service has stopped. False
// at once when the process was not started as a service.
bool RunClockService();

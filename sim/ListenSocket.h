#pragma once
// Listening TCP sockets for the simulator.
#include <string>

// Listens on "host:port" (port 0 picks a free one); returns a non-blocking
// socket, or -1 with `error` set.
int ListenOn(const std::string& hostPort, std::string& error);
// The port a socket is bound to.
int BoundPort(int fd);
// Accepts one pending connection as a non-blocking socket with TCP_NODELAY;
// -1 when none is waiting.
int AcceptClient(int listenFd);

#!/usr/bin/python3
"""pyserial's RFC 2217 server on loopback, for testing our client against an
independent implementation. Serves serial.serial_for_url('loop://') (written
bytes come back; DSR follows DTR and CTS follows RTS) to one client at a
time and prints "LISTENING <port>" once it listens. Runs until killed."""
import select
import socket
import sys

import serial
import serial.rfc2217


class Connection:
    def __init__(self, sock):
        self.sock = sock

    def write(self, data):
        self.sock.sendall(data)


def serve(client, port):
    manager = serial.rfc2217.PortManager(port, Connection(client))
    client.settimeout(None)
    while True:
        # Check the modem lines every 50 ms, as the server has to poll them.
        ready, _, _ = select.select([client], [], [], 0.05)
        if ready:
            data = client.recv(4096)
            if not data:
                return
            port.write(b"".join(manager.filter(data)))
        waiting = port.in_waiting
        if waiting:
            client.sendall(b"".join(manager.escape(port.read(waiting))))
        manager.check_modem_lines()


def main():
    port = serial.serial_for_url("loop://", do_not_open=True)
    port.dtr = False
    port.rts = False
    port.open()
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    print("LISTENING %d" % listener.getsockname()[1], flush=True)
    while True:
        client, _ = listener.accept()
        client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        try:
            serve(client, port)
        except OSError:
            pass
        finally:
            client.close()
            port.dtr = False
            port.rts = False


if __name__ == "__main__":
    sys.exit(main())

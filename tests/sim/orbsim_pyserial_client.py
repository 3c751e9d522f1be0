#!/usr/bin/python3
"""pyserial's RFC 2217 client (an independent implementation) against
orbsim: settings, DTR/RTS, DSR, modem polls and data both ways.
Usage: orbsim_pyserial_client.py <path to orbsim>"""
import socket
import subprocess
import sys
import time

try:
    import serial
except ImportError:
    print("FAIL: needs Debian's python3-serial (scripts/ensure-packages.sh installs it)")
    sys.exit(1)


def wait_until(check, timeout=2.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if check():
            return True
        time.sleep(0.01)
    return check()


def main():
    # A plain line: this drives the line itself, no devices answer on it.
    sim = subprocess.Popen([sys.argv[1], "--listen", "127.0.0.1:0", "--control", "127.0.0.1:0",
                            "--devices", "none", "--no-pacing"],
                           stdout=subprocess.PIPE, text=True)
    try:
        serial_port = int(sim.stdout.readline().split()[1])
        control_port = int(sim.stdout.readline().split()[1])
        control = socket.create_connection(("127.0.0.1", control_port)).makefile("rw")

        def command(line):
            control.write(line + "\n")
            control.flush()
            return control.readline().rstrip("\n")

        def state():
            return dict(item.split("=") for item in command("state").split()[1:])

        for options in ("", "&poll_modem"):
            url = "rfc2217://127.0.0.1:%d?timeout=2%s" % (serial_port, options)
            port = serial.serial_for_url(url, baudrate=19200, bytesize=8, parity="E", stopbits=1,
                                         timeout=1)
            s = state()
            assert (s["baud"], s["data"], s["parity"], s["stop"], s["client"]) == \
                ("19200", "8", "E", "1", "1"), s
            assert (s["dtr"], s["rts"]) == ("1", "1"), s  # pyserial opens with both on

            port.dtr = False
            assert command("wait dtr 0 2000") == "ok"
            port.rts = False
            assert command("wait rts 0 2000") == "ok"
            port.dtr = True
            assert command("wait dtr 1 2000") == "ok"

            assert command("dsr 1").startswith("ok ")
            assert wait_until(lambda: port.dsr), "DSR did not come up"
            assert command("dsr 0").startswith("ok ")
            assert wait_until(lambda: not port.dsr), "DSR did not go down"
            command("cts 1")
            assert wait_until(lambda: port.cts)
            command("cts 0")

            port.baudrate = 9600
            port.stopbits = 2
            assert state()["baud"] == "9600" and state()["stop"] == "2"

            payload = bytes([0x00, 0xFF, 0x41, 0xFF, 0xFF, 0x0D])
            port.write(payload)
            got = ""
            end = time.monotonic() + 2
            while len(got) < 2 * len(payload) and time.monotonic() < end:
                got += command("recv")[3:]
            assert got == payload.hex(), got
            assert command("send ff00ff42").startswith("ok ")
            assert port.read(4) == bytes([0xFF, 0x00, 0xFF, 0x42])
            port.close()
            assert wait_until(lambda: state()["client"] == "0")
        command("quit")
        assert sim.wait(5) == 0
    finally:
        if sim.poll() is None:
            sim.kill()
            sim.wait()
    print("pyserial client against orbsim: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())

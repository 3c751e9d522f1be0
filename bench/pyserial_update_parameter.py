#!/usr/bin/python3
"""Reference client: one PA-422 UPDATE_PARAMETER transaction at a time with
pyserial's RFC 2217 support, timed like the link benchmark times ours.

usage: pyserial_update_parameter.py rfc2217://HOST:PORT ADDRESS RUNS
Prints median_ms=X.XXX.
"""
import statistics
import sys
import time

import serial


def wait_for(predicate, timeout):
    end = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > end:
            raise TimeoutError("device did not answer")
        time.sleep(0.0005)


def transaction(port, address):
    frame = bytes([0x96, 0x01, 0x02]) + b"KOBU" + bytes([26])
    port.write(bytes([address]))
    wait_for(lambda: port.dsr, 2.0)
    time.sleep(0.1)
    port.dtr = True
    if port.read(2) != bytes([3, 41]):
        raise RuntimeError("bad DT/ID")
    port.write(frame)
    status = port.read(1)
    done = time.monotonic()
    port.dtr = False
    wait_for(lambda: not port.dsr, 2.0)
    return done


def main():
    url, address, runs = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    port = serial.serial_for_url(url + "?poll_modem", baudrate=19200, bytesize=8,
                                 parity="E", stopbits=1, timeout=2, do_not_open=True)
    port.dtr = False
    port.rts = True
    port.open()
    times = []
    for _ in range(runs):
        start = time.monotonic()
        done = transaction(port, address)
        times.append((done - start) * 1000.0)
    port.close()
    print("median_ms=%.3f" % statistics.median(times), flush=True)


if __name__ == "__main__":
    main()

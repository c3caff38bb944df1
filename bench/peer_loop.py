#!/usr/bin/python3
"""The loop a user would write instead of the program, the benchmarks' peer.

It sets the load to 1 A constant current and switches it on, then, PASSES times: sends
"MEAS:VC?", reads the reply, takes voltage and current from it, writes a CSV row (flushed, as the
program flushes each row) and sleeps INTERVAL with time.sleep. The sleep is the plain interval,
not the time left to the next deadline, as such a loop is usually written: every period is one
interval plus whatever the pass costs.

Over TCP it uses PyVISA with the pure-Python backend (PyVISA-py) on a raw socket resource; over a
serial port or pseudo-terminal it uses PySerial.
"""
import argparse
import time


def open_link(args):
    if args.tcp:
        import pyvisa

        manager = pyvisa.ResourceManager("@py")
        load = manager.open_resource(
            f"TCPIP::127.0.0.1::{args.tcp}::SOCKET",
            read_termination="\r\n",
            write_termination="\r\n",
            timeout=2000,
        )
        return load.write, load.query
    import serial

    port = serial.Serial(args.serial, 115200, timeout=2)

    def write(command):
        port.write(command.encode() + b"\r\n")

    def query(command):
        write(command)
        return port.readline().decode().strip()

    return write, query


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    link = parser.add_mutually_exclusive_group(required=True)
    link.add_argument("--tcp", type=int, metavar="PORT", help="the load on 127.0.0.1:PORT")
    link.add_argument("--serial", metavar="PATH", help="the load on a serial port or pseudo-terminal")
    parser.add_argument("--interval", type=float, required=True, metavar="MS")
    parser.add_argument("--passes", type=int, required=True)
    parser.add_argument("--csv", required=True)
    args = parser.parse_args()

    write, query = open_link(args)
    for command in ("MODE CC", "CC:HIGH 1", "LOAD ON"):
        write(command)
    interval = args.interval / 1000.0
    with open(args.csv, "w") as log:
        log.write("No.,Time,V,I\n")
        for number in range(1, args.passes + 1):
            reply = query("MEAS:VC?")
            volts, amps = (float(field) for field in reply.split(",")[:2])
            log.write(f"{number},{time.time():.3f},{volts},{amps}\n")
            log.flush()
            time.sleep(interval)
    write("LOAD OFF")


if __name__ == "__main__":
    main()

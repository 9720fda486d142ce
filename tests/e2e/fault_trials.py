#!/usr/bin/env python3
"""Fault trials, run by hand (not part of ctest): calls rung through tavo-capi-peer while the
monitor is killed with SIGKILL at random moments, or its CAPI line process is.

  fault_trials.py BUILD_DIR [--trials K] [--calls N] [--target monitor|line] [--seed S]

For each trial the monitor is started on one data directory, N calls are rung at random short
intervals, and at a random moment the monitor (or its line process) gets SIGKILL. Every call
whose log line the monitor printed counts as announced. At the end the history is read with
`tavo dump`: every announced call must be in it. Prints trials, calls announced, calls lost and
the time from each kill to listening again.
"""
import argparse, os, random, select, signal, subprocess, sys, tempfile, time


class Proc:
    def __init__(self, argv, env=None):
        self.p = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, env=env, bufsize=0)
        self.buf = {self.p.stdout.fileno(): b"", self.p.stderr.fileno(): b""}
        self.lines = {"out": [], "err": []}

    def pump(self, timeout):
        fds = [fd for fd in self.buf if fd >= 0]
        ready, _, _ = select.select(fds, [], [], timeout)
        for fd in ready:
            data = os.read(fd, 65536)
            name = "out" if fd == self.p.stdout.fileno() else "err"
            if not data:
                self.buf.pop(fd)
                self.buf[-1 - fd] = b""
                continue
            self.buf[fd] += data
            while b"\n" in self.buf[fd]:
                line, self.buf[fd] = self.buf[fd].split(b"\n", 1)
                self.lines[name].append((time.monotonic(), line.decode(errors="replace")))

    def wait_line(self, stream, text, timeout, start=0):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            for i, (t, line) in enumerate(self.lines[stream][start:], start):
                if text in line:
                    return t, i
            self.pump(0.05)
        return None, None

    def send(self, line):
        self.p.stdin.write((line + "\n").encode())


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--trials", type=int, default=20)
    ap.add_argument("--calls", type=int, default=10)
    ap.add_argument("--target", choices=["monitor", "line"], default="monitor")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--settle", type=float, default=0,
                    help="seconds to wait after each recovery (the line process counts as "
                         "healthy after 10 s, and its restarts pause longer until then)")
    a = ap.parse_args()
    random.seed(a.seed)
    tavo = os.path.join(a.build, "gui/tavo")
    peer_path = os.path.join(a.build, "tools/capi-peer/tavo-capi-peer")
    home = tempfile.mkdtemp(prefix="tavo-trials-")
    os.makedirs(home + "/data")
    open(home + "/.capi20rc", "w").write("TRACELEVEL 0\n")
    open(home + "/data/areacode.lst", "w").write("\teverywhere\n")
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/config",
               XDG_DATA_HOME=home + "/share", QT_QPA_PLATFORM="offscreen")
    peer = Proc([peer_path, "--listen", "127.0.0.1:0"])
    t, _ = peer.wait_line("out", "listening", 10)
    port = peer.lines["out"][0][1].rsplit(":", 1)[1]
    argv = [tavo, "--headless", "--data-dir", home + "/data", "--capi-remote",
            "rcapi:127.0.0.1:" + port]

    announced, recoveries, rung = set(), [], 0
    plci = 0x100
    monitor = Proc(argv, env)
    for trial in range(a.trials):
        if monitor.wait_line("err", "listening", 20)[0] is None:
            sys.exit("trial %d: the monitor does not listen:\n%s" % (trial, monitor.lines))
        kill_after = random.uniform(0.05, 0.05 * a.calls + 0.3)
        start = time.monotonic()
        killed = False
        for i in range(a.calls):
            plci += 0x100
            calling = "%d%03d" % (trial + 1, i)
            peer.send("ring 5551 %s plci=0x%08X" % (calling, plci | 1))
            rung += 1
            pause_end = time.monotonic() + random.uniform(0.0, 0.1)
            while time.monotonic() < pause_end:
                monitor.pump(0.01)
                peer.pump(0)
                if not killed and time.monotonic() - start >= kill_after:
                    killed = True
                    kill_at = time.monotonic()
                    mark = len(monitor.lines["err"])
                    if a.target == "monitor":
                        monitor.p.send_signal(signal.SIGKILL)
                    else:
                        pid = subprocess.run(["pgrep", "-P", str(monitor.p.pid)],
                                             capture_output=True, text=True).stdout.split()
                        for p in pid:
                            os.kill(int(p), signal.SIGKILL)
        monitor.pump(0.3)
        for _, line in monitor.lines["out"]:
            if " -->> " in line:
                announced.add(line.split("/", 1)[1].split(" ", 1)[0][1:])
        if not killed:
            kill_at = time.monotonic()
            mark = len(monitor.lines["err"])
            if a.target == "monitor":
                monitor.p.send_signal(signal.SIGKILL)
            else:
                for p in subprocess.run(["pgrep", "-P", str(monitor.p.pid)],
                                        capture_output=True, text=True).stdout.split():
                    os.kill(int(p), signal.SIGKILL)
        if a.target == "monitor":
            monitor.p.wait()
            for _ in range(5):
                monitor.pump(0.05)
            for _, line in monitor.lines["out"]:
                if " -->> " in line:
                    announced.add(line.split("/", 1)[1].split(" ", 1)[0][1:])
            monitor = Proc(argv, env)
            t, _ = monitor.wait_line("err", "listening", 30)
        else:
            t, _ = monitor.wait_line("err", "listening again", 30, mark)
        if t is None:
            sys.exit("trial %d: no recovery\n%s" % (trial, "\n".join(l for _, l in monitor.lines["err"][-8:])))
        recoveries.append(t - kill_at)
        end = time.monotonic() + a.settle
        while time.monotonic() < end:
            monitor.pump(0.1)
    monitor.p.send_signal(signal.SIGTERM)
    monitor.p.wait(timeout=15)
    peer.send("quit")
    dump = subprocess.run([tavo, "dump", home + "/data/caller.his"], capture_output=True,
                          text=True, env=env).stdout
    stored = {line.split("\t")[1][1:] for line in dump.splitlines() if "\t" in line}
    stored_lines = dump.splitlines()
    lost = sorted(c for c in announced if c not in stored)
    dupes = len(stored_lines) - len(set(stored_lines))
    recoveries.sort()
    print("target %s: %d trials, %d calls rung, %d announced, %d lost, %d duplicated in the "
          "history" % (a.target, a.trials, rung, len(announced), len(lost), dupes))
    print("recovery (kill -> listening) s: min %.2f median %.2f max %.2f" %
          (recoveries[0], recoveries[len(recoveries) // 2], recoveries[-1]))
    leftovers = [n for n in os.listdir(home + "/data") if ".tmp" in n or "journal" in n]
    print("left in the data directory: %s" % (leftovers or "nothing but the data files"))
    if lost:
        print("lost:", lost)
    return 1 if lost else 0


if __name__ == "__main__":
    sys.exit(main())

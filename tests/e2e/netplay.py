#!/usr/bin/env python3
"""End-to-end tests of network play: two real zotik processes on 127.0.0.1 under one Xvfb,
one hosting and one joining, each window driven with its own keys (xdotool to each
window), through the menu and a whole three-lap race.

    netplay.py --game build/zotik --xclose build/tests/xclose --xframes build/tests/xframes
               --out DIR SCENARIO

(--xframes is needed: the race scenarios record the frame times.)

Scenarios:
  race    the two machines side by side: every frame's state hash is the same on both,
          the final pictures are equal, the frame pacing has no bursts
  relay   the same through a UDP relay of this script's own that delays every packet
          80 ms (plus up to 20 ms of jitter) and loses 5% of them each way
  faults  the joiner killed mid-race and mid-menu (the host says so within 3 s and is
          back at a working menu of its own); a third machine turned away

Both games write ZOTIK_NET_TRACE, a line per frame with the state hash and both cars; the
test drives the cars from the host's trace with a simple closed-loop driver.
"""
import heapq
import math
import os
import random
import select
import signal
import socket
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(ROOT, "tools", "artgen"))

import e2e  # noqa: E402  (Screen, check, the pacing checks)
import trackmap  # noqa: E402  (the layouts, expanded as the game does)
from e2e import CheckFailed, Screen, check  # noqa: E402

SCREEN = (1300, 500)  # room for two 640 x 480 windows side by side
PHASE_TITLE, PHASE_MENU, PHASE_RACE = 0, 1, 2
NOTE_ROW = 96  # the centre row of a note over the menu or a race
TITLE_NOTE_ROW = 72  # over the title
DEADLINE_S = 3.0  # the other machine's end must show within this


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Display:
    """One Xvfb for all the games of a scenario."""

    def __init__(self, out):
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "%dx%dx24" % SCREEN,
             "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as f:
            self.name = ":" + f.readline().strip()
        self.env = dict(os.environ, DISPLAY=self.name, SDL_AUDIODRIVER="dummy")
        self.out = out

    def run(self, *cmd, capture=False):
        result = subprocess.run(list(cmd), env=self.env, check=True,
                                stdout=subprocess.PIPE if capture else subprocess.DEVNULL)
        return result.stdout.decode() if capture else None

    def stop(self):
        self.xvfb.terminate()
        self.xvfb.wait()


class Machine:
    """One zotik process in its own window at column x of the display."""

    def __init__(self, args, display, name, game_args, x):
        self.args, self.display, self.name = args, display, name
        self.trace_path = os.path.join(args.out, name + ".trace")
        if os.path.exists(self.trace_path):
            os.remove(self.trace_path)
        self.log = open(os.path.join(args.out, name + ".log"), "w")
        env = dict(display.env, ZOTIK_NET_TRACE=self.trace_path)
        self.proc = subprocess.Popen([args.game] + game_args, env=env, stdout=self.log,
                                     stderr=subprocess.STDOUT)
        self.window = self.wait_window()
        self.move_to(x)
        self.held = set()

    def move_to(self, x, timeout=10.0):
        """Moves the window to column x of the display, out of the other windows' way (the
        game centres its window once it shows, so the move is repeated until it holds)."""
        end = time.time() + timeout
        while time.time() < end:
            self.display.run("xdotool", "windowmove", "--sync", self.window, str(x), "0")
            time.sleep(0.3)
            where = self.display.run("xdotool", "getwindowgeometry", self.window, capture=True)
            if "Position: %d,0 " % x in where:
                return
        raise CheckFailed("%s: the window did not move to column %d" % (self.name, x))

    def wait_window(self, timeout=30.0):
        end = time.time() + timeout
        while time.time() < end:
            if self.proc.poll() is not None:
                raise CheckFailed("%s exited with %d before its window opened" %
                                  (self.name, self.proc.returncode))
            found = subprocess.run(["xdotool", "search", "--all", "--pid", str(self.proc.pid),
                                    "--name", "^ZOTIK - Build"], env=self.display.env,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.split()
            if found:
                return found[-1].decode()
            time.sleep(0.1)
        raise CheckFailed("no window of %s within %.0f s" % (self.name, timeout))

    # Keys go to this window only (xdotool --window), so both machines can hold keys at
    # the same time without taking the focus from each other.
    def keys(self, down, names):
        if names:
            self.display.run("xdotool", "keydown" if down else "keyup", "--window",
                             self.window, *names)

    def key(self, *names, hold=0.1):
        for name in names:
            self.keys(True, [name])
            time.sleep(hold)
            self.keys(False, [name])
            time.sleep(0.25)

    def hold(self, wanted):
        """Holds exactly the keys in wanted."""
        wanted = set(wanted)
        self.keys(False, sorted(self.held - wanted))
        self.keys(True, sorted(wanted - self.held))
        self.held = wanted

    def shot(self, name):
        path = os.path.join(self.args.out, name + ".png")
        self.display.run("import", "-window", self.window, path)
        return path, Screen(path)

    def trace(self):
        """The frames written so far: dicts of the numbers of each line."""
        frames, end = [], None
        try:
            with open(self.trace_path) as f:
                for line in f:
                    if line.startswith("# end"):
                        end = line
                    if line.startswith("#") or not line.endswith("\n"):
                        continue
                    v = line.split()
                    frames.append({
                        "frame": int(v[0]), "phase": int(v[1]), "hash": v[2],
                        "waited": int(v[3]), "state": int(v[4]), "tick": int(v[5]),
                        "cars": [{"laps": int(v[6 + 5 * i]), "z": float(v[7 + 5 * i]),
                                  "x": float(v[8 + 5 * i]), "speed": float(v[9 + 5 * i]),
                                  "steer": int(v[10 + 5 * i])} for i in (0, 1)]})
        except FileNotFoundError:
            pass
        return frames, end

    def last_frame(self):
        """The last line of the trace, read from its tail."""
        try:
            with open(self.trace_path, "rb") as f:
                f.seek(0, os.SEEK_END)
                f.seek(max(0, f.tell() - 400))
                lines = [l for l in f.read().decode().split("\n")[:-1] if l and l[0] != "#"]
        except FileNotFoundError:
            return None
        if not lines:
            return None
        v = lines[-1].split()
        if len(v) < 16:
            return None
        return {"frame": int(v[0]), "phase": int(v[1]), "state": int(v[4]), "tick": int(v[5]),
                "cars": [{"laps": int(v[6 + 5 * i]), "z": float(v[7 + 5 * i]),
                          "x": float(v[8 + 5 * i]), "speed": float(v[9 + 5 * i]),
                          "steer": int(v[10 + 5 * i])} for i in (0, 1)]}

    def wait_trace(self, condition, what, timeout):
        end = time.time() + timeout
        while time.time() < end:
            last = self.last_frame()
            if last and condition(last):
                return last
            time.sleep(0.05)
        raise CheckFailed("%s: %s did not happen within %.0f s" % (self.name, what, timeout))

    def frames(self, recorder):
        out = recorder.communicate(timeout=120)[0].decode()
        times = []
        for line in out.splitlines():
            t, w, h = (int(v) for v in line.split())
            if (w, h) == (e2e.WINDOW_W, e2e.WINDOW_H):
                times.append(t)
        return times

    def record_frames(self, seconds):
        return subprocess.Popen([self.args.xframes, self.window, str(seconds)],
                                env=self.display.env, stdout=subprocess.PIPE)

    def close(self, timeout=10.0):
        self.display.run(self.args.xclose, self.window)
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            raise CheckFailed("%s did not exit within %.0f s of closing its window" %
                              (self.name, timeout))

    def printed(self):
        self.log.flush()
        with open(self.log.name) as f:
            return [l for l in f.read().splitlines() if not l.startswith("ALSA lib")]

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.log.close()


class Relay(threading.Thread):
    """A UDP relay on 127.0.0.1 between a joiner and a host: every packet is held back
    delay_ms plus up to jitter_ms (so packets may overtake each other), and a share loss
    of them is dropped, each way."""

    def __init__(self, host_port, delay_ms=80, jitter_ms=20, loss=0.05, seed=15):
        super().__init__(daemon=True)
        self.host = ("127.0.0.1", host_port)
        self.outer = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)  # the joiner's side
        self.outer.bind(("127.0.0.1", 0))
        self.port = self.outer.getsockname()[1]
        self.inner = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)  # the host's side
        self.inner.bind(("127.0.0.1", 0))
        self.delay, self.jitter, self.loss = delay_ms / 1000.0, jitter_ms / 1000.0, loss
        self.random = random.Random(seed)
        self.joiner = None
        self.queue = []  # (due, seq, socket, data, address)
        self.seq = 0
        self.stopped = False
        self.passed = self.dropped = 0

    def hold(self, sock, data, address):
        if self.random.random() < self.loss:
            self.dropped += 1
            return
        due = time.monotonic() + self.delay + self.random.uniform(0, self.jitter)
        heapq.heappush(self.queue, (due, self.seq, sock, data, address))
        self.seq += 1

    def run(self):
        while not self.stopped:
            timeout = 0.05
            if self.queue:
                timeout = max(0.0, min(timeout, self.queue[0][0] - time.monotonic()))
            ready, _, _ = select.select([self.outer, self.inner], [], [], timeout)
            for sock in ready:
                data, address = sock.recvfrom(65536)
                if sock is self.outer:
                    self.joiner = address
                    self.hold(self.inner, data, self.host)
                elif self.joiner:
                    self.hold(self.outer, data, self.joiner)
            now = time.monotonic()
            while self.queue and self.queue[0][0] <= now:
                _, _, sock, data, address = heapq.heappop(self.queue)
                sock.sendto(data, address)
                self.passed += 1

    def stop(self):
        self.stopped = True
        self.join(2)
        self.outer.close()
        self.inner.close()


class Driver:
    """A cautious closed-loop driver: full throttle on straights, braking to its
    cornering speed before bends, steering against a bend's drift and towards its line
    across the road. It sees each car as the trace shows it, frames late, and looks that
    far ahead along the track."""

    LATENCY_FRAMES = 4  # the trace's age, xdotool, and the network game's input delay

    def __init__(self, curves, line, corner_speed=14.0):
        self.curves, self.line, self.corner_speed = curves, line, corner_speed

    def curve_at(self, z):
        return self.curves[int(math.floor(z)) % len(self.curves)]

    def decide(self, car):
        v = car["speed"]
        z = car["z"] + v * 0.05 * self.LATENCY_FRAMES
        cs = self.corner_speed
        lookahead = (v * v - cs * cs) / 22.0 + 1 if v > cs else 2
        bend = any(self.curve_at(z + d) != 0 for d in range(int(lookahead) + 1))
        keys = {"accelerate": not bend or v < cs, "brake": bend and v > cs + 0.5}
        want = -31.0 * self.curve_at(z + v * 0.2) + 12.0 * (car["x"] - self.line)
        want = max(-45.0, min(45.0, want))
        go_left, go_right = car["steer"] < want - 1.5, car["steer"] > want + 1.5
        keys["left"] = go_left or not go_right
        keys["right"] = go_right or not go_left
        return keys


KEYS_A = {"accelerate": "w", "brake": "s", "left": "a", "right": "d"}
KEYS_B = {"accelerate": "Up", "brake": "Down", "left": "Left", "right": "Right"}


def boul_curves():
    return [delta for delta, _ in trackmap.expand(trackmap.load_layout("boul"))]


def start_pair(args, display, joiner_port=None, port=None):
    port = port or free_udp_port()
    host = Machine(args, display, "host", ["-host", str(port)], 0)
    joiner = Machine(args, display, "joiner",
                     ["-join", "127.0.0.1:%d" % (joiner_port or port)], 650)
    host.wait_trace(lambda f: f["phase"] == PHASE_TITLE, "the lockstep at the title", 20)
    joiner.wait_trace(lambda f: f["phase"] == PHASE_TITLE, "the lockstep at the title", 20)
    return host, joiner, port


def through_the_menu(host, joiner):
    """Enter from the joiner, the track chosen on the host, a car each with either set of
    keys; returns once both race. Checks the two car menus are the same picture."""
    joiner.key("Return")                   # either machine's Enter leaves the title
    host.wait_trace(lambda f: f["phase"] == PHASE_MENU, "the menu after Enter", 10)
    host.key("Down", "Up")                 # the host's arrows drive player A: suburb, boul
    host.key("Return")                     # the track: the car stage
    host.key("s")                          # player A: trabant
    joiner.key("w")                        # the joiner's W means player B's Up: beetle
    time.sleep(0.5)
    _, menu_a = host.shot("host-cars")
    _, menu_b = joiner.shot("joiner-cars")
    check(menu_a.index == menu_b.index, "both machines show the same car menu")
    check({1, 9} <= menu_a.colours(0, 0, 159, 200) and {5, 13} <= menu_a.colours(161, 0, 320, 200),
          "player A's blue trabant and player B's magenta beetle are chosen")
    host.key("Right")                      # the host's Right confirms player A's car
    joiner.key("d")                        # the joiner's D confirms player B's
    host.wait_trace(lambda f: f["phase"] == PHASE_RACE, "the race", 10)


def drive_race(host, joiner, record_s=30.0):
    """Drives both cars from the host's trace until the run-out stands still; records the
    frame times of both windows for record_s seconds of the race."""
    curves = boul_curves()
    drivers = (Driver(curves, -1.0), Driver(curves, 1.0))
    recorders = None
    started = time.time()
    while True:
        last = host.last_frame()
        if last is None or last["phase"] != PHASE_RACE:
            raise CheckFailed("the host left the race before its end: %r" % last)
        if last["state"] == 2 and last["tick"] >= 100:
            break  # run-out: both cars have braked to a stop
        if last["state"] == 1 and recorders is None and last["tick"] > 40:
            recorders = (host.record_frames(record_s), joiner.record_frames(record_s))
        for machine, driver, car, names in ((host, drivers[0], last["cars"][0], KEYS_A),
                                            (joiner, drivers[1], last["cars"][1], KEYS_B)):
            if last["state"] == 1:
                wanted = [names[k] for k, on in driver.decide(car).items() if on]
            else:
                wanted = []
            machine.hold(wanted)
        if time.time() - started > 300:
            raise CheckFailed("the race did not end within 300 s")
        time.sleep(0.02)
    host.hold([])
    joiner.hold([])
    print("race: finished after %.0f s, laps %d and %d" %
          (time.time() - started, last["cars"][0]["laps"], last["cars"][1]["laps"]))
    return recorders


def wait_statistics(frames):
    waited = [f["waited"] for f in frames]
    return {"frames": len(waited), "waited": sum(1 for w in waited if w > 0),
            "waited_over_20ms": sum(1 for w in waited if w > 20),
            "longest_ms": max(waited) if waited else 0}


def pacing(times):
    gaps = sorted(b - a for a, b in zip(times, times[1:]))
    if not gaps:
        return {}
    return {"frames": len(times), "mean_ms": sum(gaps) / float(len(gaps)),
            "p95_ms": gaps[int(0.95 * (len(gaps) - 1))], "longest_ms": gaps[-1],
            "fast_run": e2e.longest_fast_run(times)}


def race_scenario(args, relay_conditions=None):
    display = Display(args.out)
    relay = None
    machines = []
    try:
        port = free_udp_port()
        if relay_conditions is not None:
            relay = Relay(port, **relay_conditions)
            relay.start()
        host, joiner, _ = start_pair(args, display, relay.port if relay else None, port)
        machines = [host, joiner]
        through_the_menu(host, joiner)
        recorders = drive_race(host, joiner)
        _, end_a = host.shot("host-finish")
        _, end_b = joiner.shot("joiner-finish")
        check(end_a.index == end_b.index,
              "the finished race is the same picture on both machines (%d pixels differ)" %
              sum(a != b for a, b in zip(end_a.index, end_b.index)))
        check(8 in end_a.colours(0, 80, 159, 152) and 8 in end_a.colours(161, 80, 320, 152),
              "the final picture shows both views of the road")
        host.wait_trace(lambda f: f["phase"] == PHASE_MENU, "the return to the menu", 15)
        joiner.wait_trace(lambda f: f["phase"] == PHASE_MENU, "the return to the menu", 15)
        time.sleep(0.3)
        _, menu_a = host.shot("host-menu-after")
        _, menu_b = joiner.shot("joiner-menu-after")
        check(menu_a.index == menu_b.index and menu_a.share(7) > 0.5,
              "both machines are back at the same menu")

        frames_a, _ = host.trace()
        frames_b, _ = joiner.trace()
        common = min(len(frames_a), len(frames_b))
        check(common > 1500, "both traces cover the menu and the race (%d frames)" % common)
        differ = [a["frame"] for a, b in zip(frames_a, frames_b)
                  if (a["frame"], a["phase"], a["hash"]) != (b["frame"], b["phase"], b["hash"])]
        check(not differ, "the state hash is the same on both machines in every one of %d "
              "frames%s" % (common, " (first difference at frame %d)" % differ[0] if differ else ""))
        laps = [frames_a[-1]["cars"][i]["laps"] for i in (0, 1)]
        winner = max(max(f["cars"][0]["laps"], f["cars"][1]["laps"]) for f in frames_a)
        check(winner == 4, "a car completed its three laps (laps %s)" % laps)

        for m in machines:
            stats = wait_statistics(m.trace()[0])
            print("%s: %d frames, %d waited for the other machine (%d over 20 ms), longest "
                  "wait %d ms" % (m.name, stats["frames"], stats["waited"],
                                 stats["waited_over_20ms"], stats["longest_ms"]))
        for m, recorder in zip(machines, recorders):
            times = m.frames(recorder)
            p = pacing(times)
            print("%s pacing over 30 s of racing: %d frames, mean %.1f ms, 95%% within %d ms, "
                  "longest %d ms, longest run of fast frames %d" %
                  (m.name, p["frames"], p["mean_ms"], p["p95_ms"], p["longest_ms"],
                   p["fast_run"]))
            e2e.check_pacing(times, 30.0, "on the %s during the race" % m.name)
        if relay:
            print("relay: %d packets passed, %d dropped" % (relay.passed, relay.dropped))

        check(host.close() == 0, "the host's game exits with status 0")
        time.sleep(0.5)
        check(joiner.close() == 0, "the joiner's game exits with status 0")
        check(host.printed() == [], "the host printed nothing: %r" % host.printed())
        check(joiner.printed() == ["zotik: network game over: the other player left the game; "
                                   "playing on this machine alone"],
              "the joiner said, once, that the host left: %r" % joiner.printed())
        for m in machines:
            _, end = m.trace()
            check(end is not None and " bad_packets 0 " in end,
                  "%s dropped no packet as malformed: %s" % (m.name, (end or "").strip()))
            fields = end.split()
            frames, compared = int(fields[4]), int(fields[-1])
            check(compared >= frames // 20 - 2, "%s compared its state with the other "
                  "machine's every second: %d times in %d frames" % (m.name, compared, frames))
    finally:
        for m in machines:
            m.stop()
        if relay:
            relay.stop()
        display.stop()


def own_folder(args, scenario):
    """The pictures, logs and traces of a scenario in a folder of their own."""
    args.out = os.path.join(args.out, "net-" + scenario)
    os.makedirs(args.out, exist_ok=True)


def scenario_race(args):
    own_folder(args, "race")
    race_scenario(args)


def scenario_relay(args):
    own_folder(args, "relay")
    race_scenario(args, {"delay_ms": 80, "jitter_ms": 20, "loss": 0.05})


def note_shown(screen, rows=0, centre=NOTE_ROW):
    """A note's blue card stands over the middle of the picture, with yellow lettering,
    and reaches at least rows below the middle (the note on the end of a network game has
    three lines; the note of a frame that waits only one)."""
    card = screen.share(1, 60, centre - 4, 260, centre + 4)
    low = screen.share(1, 100, centre + rows - 2, 220, centre + rows)
    return card > 0.6 and low > 0.6 and 14 in screen.colours(60, centre - 25, 260, centre)


END_NOTE_ROWS = 22  # the end note's card reaches this far below the middle; the other not


def wait_for_end_note(host, killed_at, name):
    while time.time() - killed_at < 6.0:
        _, screen = host.shot(name)
        if note_shown(screen, END_NOTE_ROWS) and screen.share(7) > 0.2:
            return time.time() - killed_at, screen
        time.sleep(0.1)
    raise CheckFailed("the host showed no note within 6 s of the joiner's end")


def check_local_menu(host, what):
    """The host plays alone: its menu answers its keys, and a race starts with both
    players' keys on its keyboard."""
    time.sleep(6.5)  # the note goes after 6 s
    _, before = host.shot(what + "-menu")
    check(before.share(7) > 0.5 and not note_shown(before),
          "%s: the host is at its menu, the note gone" % what)
    host.key("Down")
    _, after = host.shot(what + "-menu-down")
    check(after.index != before.index, "%s: the host's menu answers its keys" % what)
    host.key("Up", "Return", "Return")
    time.sleep(0.5)
    _, race = host.shot(what + "-local-race")
    check(race.colours(159, 0, 161, 200) == {0} and 8 in race.colours(0, 80, 159, 152),
          "%s: a race starts on the host alone" % what)
    host.key("Escape")
    time.sleep(0.3)


def kill_joiner(args, display, when):
    host, joiner, _ = start_pair(args, display)
    try:
        joiner.key("Return")
        host.wait_trace(lambda f: f["phase"] == PHASE_MENU, "the menu", 10)
        host.key("Return")  # the car stage
        if when == "race":
            host.key("Return")
            host.wait_trace(lambda f: f["phase"] == PHASE_RACE and f["state"] == 1,
                            "the start of the race", 10)
            host.hold(["w"])
            joiner.hold(["Up"])
            time.sleep(1.0)
        time.sleep(0.5)
        os.kill(joiner.proc.pid, signal.SIGKILL)
        killed_at = time.time()
        joiner.proc.wait()
        seconds, screen = wait_for_end_note(host, killed_at, "host-after-kill-" + when)
        host.hold([])
        check(seconds <= DEADLINE_S, "joiner killed mid-%s: the host says so on screen after "
              "%.1f s" % (when, seconds))
        printed = host.printed()
        check(printed == ["zotik: network game over: the other machine stopped answering; "
                          "playing on this machine alone"],
              "the host says why on stderr: %r" % printed)
        check_local_menu(host, "after-kill-" + when)
        check(host.proc.poll() is None, "the host is still running")
        check(host.close() == 0, "the host exits with status 0")
    finally:
        host.stop()
        joiner.stop()


def third_machine(args, display):
    host, joiner, port = start_pair(args, display)
    third = None
    try:
        third = Machine(args, display, "third", ["-join", "127.0.0.1:%d" % port], 300)
        end = time.time() + 10
        while time.time() < end and not third.printed():
            time.sleep(0.1)
        check(third.printed() == ["zotik: no network game: that game already has two "
                                  "players; playing on this machine alone"],
              "a third machine is turned away and says so: %r" % third.printed())
        time.sleep(0.3)
        _, screen = third.shot("third-turned-away")
        check(note_shown(screen, END_NOTE_ROWS, TITLE_NOTE_ROW),
              "the third machine shows why on screen, over its title")
        joiner.key("Return")
        host.wait_trace(lambda f: f["phase"] == PHASE_MENU, "the menu of the first two", 10)
        check(host.printed() == [] and joiner.printed() == [],
              "the first two play on undisturbed")
        check(third.close() == 0 and joiner.close() == 0 and host.close() == 0,
              "all three exit with status 0")
    finally:
        for m in (host, joiner, third):
            if m:
                m.stop()


def scenario_faults(args):
    own_folder(args, "faults")
    display = Display(args.out)
    try:
        kill_joiner(args, display, "race")
        kill_joiner(args, display, "menu")
        third_machine(args, display)
    finally:
        display.stop()


SCENARIOS = {"race": scenario_race, "relay": scenario_relay, "faults": scenario_faults}


if __name__ == "__main__":
    sys.exit(e2e.main(SCENARIOS, __doc__, "netplay"))

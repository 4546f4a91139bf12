#!/usr/bin/env python3
"""End-to-end tests of the real game: the zotik binary in a real X window (Xvfb), driven
with xdotool, its window captured with ImageMagick and its sound recorded with SDL's disk
audio driver.

    e2e.py --game build/zotik --xclose build/tests/xclose [--xframes build/tests/xframes]
           --out DIR SCENARIO

Scenarios: badarg, title, race, sound, swap, mute, fullscreen, stall, computer. Exit status
0 when every check passed. fullscreen and stall also need xframes, which records when the
window is drawn to; fullscreen runs under the Openbox window manager (without one, an X
window cannot go full screen).
"""
import argparse
import json
import os
import re
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tools"))

from palette import VGA as VGA16  # noqa: E402  (the game's 16 colours, by index)

WINDOW_W, WINDOW_H = 640, 480
SCREEN_W, SCREEN_H = 320, 200


class CheckFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CheckFailed(message)
    print("ok:", message)


def fit_picture(width, height):
    """Where the game's picture belongs on an output of this size: the largest 4:3
    rectangle, centred (x, y, w, h)."""
    w, h = width, width * 3 // 4
    if h > height:
        w, h = height * 4 // 3, height
    return ((width - w) // 2, (height - h) // 2, w, h)


class Screen:
    """A captured window or screen, read back as the game's 320 x 200 palette indices
    from the centre of each of its pixels as shown in the rectangle rect (x, y, w, h)."""

    def __init__(self, path, size=(WINDOW_W, WINDOW_H), rect=None):
        width, height = size
        rect = rect or (0, 0, width, height)
        raw = subprocess.run(["convert", path, "-depth", "8", "RGB:-"], check=True,
                             stdout=subprocess.PIPE).stdout
        if len(raw) != width * height * 3:
            raise CheckFailed("%s is not a %dx%d picture" % (path, width, height))
        self.rgb = raw
        self.size = size
        self.rect = rect
        lookup = {c: i for i, c in enumerate(VGA16)}
        self.index = []
        self.foreign = 0  # window pixels that are no VGA colour
        rx, ry, rw, rh = rect
        for y in range(SCREEN_H):
            wy = ry + int((y + 0.5) * rh / SCREEN_H)
            for x in range(SCREEN_W):
                wx = rx + int((x + 0.5) * rw / SCREEN_W)
                o = (wy * width + wx) * 3
                c = (raw[o], raw[o + 1], raw[o + 2])
                if c not in lookup:
                    self.foreign += 1
                self.index.append(lookup.get(c, -1))

    def outside_black(self):
        """The share of the pixels outside rect that are pure black."""
        width, height = self.size
        rx, ry, rw, rh = self.rect
        black = total = 0
        for y in range(0, height, 2):
            row = y * width
            for x in range(0, width, 2):
                if rx <= x < rx + rw and ry <= y < ry + rh:
                    continue
                o = (row + x) * 3
                total += 1
                black += self.rgb[o:o + 3] == b"\0\0\0"
        return black / float(total) if total else 1.0

    def at(self, x, y):
        return self.index[y * SCREEN_W + x]

    def share(self, colour, x0=0, y0=0, x1=SCREEN_W, y1=SCREEN_H):
        n = sum(1 for y in range(y0, y1) for x in range(x0, x1) if self.at(x, y) == colour)
        return n / float((x1 - x0) * (y1 - y0))

    def colours(self, x0, y0, x1, y1):
        return {self.at(x, y) for y in range(y0, y1) for x in range(x0, x1)}


class Game:
    """Xvfb (with a window manager if asked) plus one running game."""

    def __init__(self, args, extra_args=(), name="game", screen=(800, 600), wm=False):
        self.args = args
        self.out = args.out
        self.name = name
        self.screen = screen
        self.wm = None
        self.audio = os.path.join(self.out, name + "-audio.raw")
        if os.path.exists(self.audio):
            os.remove(self.audio)
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "%dx%dx24" % screen,
             "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as f:
            self.display = ":" + f.readline().strip()
        self.env = dict(os.environ, DISPLAY=self.display, SDL_AUDIODRIVER="disk",
                        SDL_DISKAUDIOFILE=self.audio)
        if wm:
            self.start_window_manager()
        self.log = open(os.path.join(self.out, name + ".log"), "w")
        self.proc = subprocess.Popen([args.game] + list(extra_args), env=self.env,
                                     stdout=self.log, stderr=subprocess.STDOUT)
        self.window = self.wait_window()

    def start_window_manager(self, timeout=20.0):
        """Openbox with no key bindings of its own; returns once it manages the screen."""
        ready = os.path.join(self.out, self.name + "-wm-ready")
        if os.path.exists(ready):
            os.remove(ready)
        self.wm = subprocess.Popen(
            ["openbox", "--sm-disable", "--config-file", os.path.join(HERE, "openbox-rc.xml"),
             "--startup", "touch " + ready],
            env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        end = time.time() + timeout
        while not os.path.exists(ready):
            if self.wm.poll() is not None or time.time() > end:
                raise CheckFailed("the window manager (openbox) did not start")
            time.sleep(0.05)

    def run(self, *cmd, capture=False):
        result = subprocess.run(list(cmd), env=self.env, check=True,
                                stdout=subprocess.PIPE if capture else subprocess.DEVNULL)
        return result.stdout.decode() if capture else None

    def wait_window(self, timeout=30.0):
        end = time.time() + timeout
        while time.time() < end:
            if self.proc.poll() is not None:
                raise CheckFailed("the game exited with %d before its window opened" %
                                  self.proc.returncode)
            found = subprocess.run(["xdotool", "search", "--name", "^ZOTIK - Build"],
                                   env=self.env, stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL).stdout.split()
            if found:
                window = found[0].decode()
                self.run("xdotool", "windowfocus", "--sync", window)
                time.sleep(0.5)  # a few frames drawn
                return window
            time.sleep(0.1)
        raise CheckFailed("no game window within %.0f s" % timeout)

    def title(self):
        return self.run("xdotool", "getwindowname", self.window, capture=True).strip()

    def geometry(self):
        text = self.run("xdotool", "getwindowgeometry", self.window, capture=True)
        m = re.search(r"Geometry: (\d+)x(\d+)", text)
        return (int(m.group(1)), int(m.group(2))) if m else None

    def key(self, *names, hold=0.12):
        """Presses and releases keys one after another (X key names, e.g. Return, Left)."""
        for name in names:
            self.run("xdotool", "keydown", name)
            time.sleep(hold)
            self.run("xdotool", "keyup", name)
            time.sleep(0.15)

    def keydown(self, *names):
        for name in names:
            self.run("xdotool", "keydown", name)

    def keyup(self, *names):
        for name in names:
            self.run("xdotool", "keyup", name)

    def wait_geometry(self, size, timeout=5.0):
        """True once the window has this size (a switch goes through the window manager)."""
        end = time.time() + timeout
        while time.time() < end:
            if self.geometry() == size:
                time.sleep(0.3)  # a few frames at the new size
                return True
            time.sleep(0.05)
        return False

    def shot(self, name):
        path = os.path.join(self.out, name + ".png")
        self.run("import", "-window", self.window, path)
        return path, Screen(path)

    def shot_screen(self, name):
        """The whole screen, read as a full-screen game shows its picture."""
        path = os.path.join(self.out, name + ".png")
        self.run("import", "-window", "root", path)
        return path, Screen(path, self.screen, fit_picture(*self.screen))

    def record_frames(self, seconds):
        """Starts recording when the window is drawn to; frames() collects the result.
        Nothing may grab the X server meanwhile (a screenshot would stall the game)."""
        if not self.args.xframes:
            raise CheckFailed("this scenario needs --xframes")
        return subprocess.Popen([self.args.xframes, self.window, str(seconds)], env=self.env,
                                stdout=subprocess.PIPE)

    def frames(self, recorder):
        """The server times (ms) at which the whole window was drawn: one per frame."""
        out = recorder.communicate(timeout=60)[0].decode()
        sizes = {(WINDOW_W, WINDOW_H), self.screen}
        times = []
        for line in out.splitlines():
            t, w, h = (int(v) for v in line.split())
            if (w, h) in sizes:
                times.append(t)
        return times

    def close(self, timeout=10.0):
        """Closes the window as a window manager would; returns the exit status."""
        self.run(self.args.xclose, self.window)
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            raise CheckFailed("the game did not exit within %.0f s of closing its window" %
                              timeout)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        if self.wm:
            self.wm.terminate()
            self.wm.wait()
        self.xvfb.terminate()
        self.xvfb.wait()
        self.log.close()

    def output(self):
        self.log.flush()
        with open(self.log.name) as f:
            return f.read()

    def printed(self):
        """The lines the game printed, without SDL's own notes on the disk audio driver
        that records the sound."""
        return [line for line in self.output().splitlines()
                if "SDL disk i/o audio driver" not in line and "Writing to file" not in line]


def title_picture():
    import pngio
    w, h, pixels = pngio.read_indexed(os.path.join(ROOT, "assets", "art", "title_d.png"))
    assert (w, h) == (SCREEN_W, SCREEN_H)
    return pixels


def check_title_screen(screen):
    expected = title_picture()
    same = sum(1 for a, b in zip(screen.index, expected) if a == b)
    check(same >= 0.995 * len(expected),
          "the window shows the title picture through the VGA palette (%d of %d pixels)" %
          (same, len(expected)))


def scenario_badarg(args):
    result = subprocess.run([args.game, "-x"], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            env=dict(os.environ, DISPLAY=""), timeout=20)
    check(result.returncode == 1, "zotik -x exits with status 1")
    check(result.stdout.decode() == "Unknown argument '-x'\n",
          "zotik -x prints the unknown-argument message")
    # No display at all: one clear line on stderr and status 1, not a game without a window.
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
    env["XDG_RUNTIME_DIR"] = args.out  # as on a desktop, so libraries probing it stay quiet
    result = subprocess.run([args.game], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            env=env, timeout=20)
    errors = result.stderr.decode().splitlines()
    check(result.returncode == 1, "without a display the game exits with status 1")
    check(len(errors) == 1 and errors[0].startswith("zotik: cannot "),
          "without a display the game says why in one line: %r" % errors)


def scenario_title(args):
    game = Game(args, name="title")
    try:
        check(re.fullmatch(r"ZOTIK - Build \d{8}", game.title()) is not None,
              "window title is 'ZOTIK - Build ' and eight digits: %r" % game.title())
        check(game.geometry() == (WINDOW_W, WINDOW_H), "window is 640 x 480")
        _, screen = game.shot("title")
        check(screen.foreign == 0, "every pixel is one of the 16 VGA colours")
        check_title_screen(screen)
        game.key("Return")
        time.sleep(0.5)
        _, menu = game.shot("after-enter")
        check(menu.share(7) > 0.5, "Enter leaves the title for the menu (grey ground)")
        status = game.close()
        check(status == 0, "closing the window ends the game with status 0 (got %s)" % status)
        printed = game.printed()
        check(printed == [], "the game prints nothing on a clean run: %r" % printed)
    finally:
        game.stop()


def art(name):
    import pngio
    return pngio.read_indexed(os.path.join(ROOT, "assets", "art", name + ".png"))


PANORAMAS = {"boul": "bkg_boul_d", "suburb": "bkg_sub_d", "iron": "bkg_iron_d"}


def panorama_match(screen, view_x, panorama):
    """The best share of a view's sky rows 0..79 that one window of the panorama explains."""
    w, h, pixels = art(panorama)
    rows = [[screen.at(view_x + x, y) for x in range(159)] for y in range(0, 80, 4)]
    best = 0.0
    for offset in range(w):
        same = total = 0
        for r, y in zip(rows, range(0, 80, 4)):
            base = y * w
            for x in range(0, 159, 3):
                total += 1
                same += r[x] == pixels[base + (offset + x) % w]
        best = max(best, same / float(total))
    return best


def view_colours(screen, view_x, y0, y1, x0=0, x1=159):
    return screen.colours(view_x + x0, y0, view_x + x1, y1)


def scenario_race(args):
    game = Game(args, name="race")
    try:
        game.key("Return")                       # leave the title
        game.key("Down")                         # tracks: boul -> suburb
        _, tracks = game.shot("menu-tracks")
        check(tracks.share(7) > 0.5, "the menu shows its grey ground")
        game.key("Return")                       # confirm the track: car stage
        game.key("s")                            # player A: skoda -> trabant
        game.key("Down", "Down")                 # player B: skoda -> beetle
        _, carmenu = game.shot("menu-cars")
        check(carmenu.colours(159, 0, 161, 200) == {0}, "the car stage has a black divider")
        check({4, 12, 1, 9, 2, 10} <= carmenu.colours(0, 0, 159, 200),
              "player A's half shows player A's red, blue and green cars")
        check({3, 11, 14, 5, 13} <= carmenu.colours(161, 0, 320, 200),
              "player B's half shows player B's cyan, yellow and magenta cars")
        game.key("d", "Right")                   # both confirm: the race starts
        time.sleep(0.4)
        _, countdown = game.shot("race-countdown")
        _, _, lights = art("lightsOffData")
        shown = [countdown.at(67 + x, 4 + y) for y in range(70) for x in range(32)]
        check(sum(a == b for a, b in zip(shown, lights)) > 0.98 * len(lights),
              "the countdown shows the unlit start lights in the left view")
        time.sleep(2.8)                          # green light after 3 s
        game.keydown("w", "Up")
        time.sleep(3.0)
        path, race = game.shot("race")
        game.keyup("w", "Up")
        check(race.colours(159, 0, 161, 200) == {0}, "columns 159 and 160 stay black in a race")
        for name, x in (("left", 0), ("right", 161)):
            check(8 in view_colours(race, x, 80, 152), "the %s view shows the road" % name)
        check({1, 9} <= view_colours(race, 0, 94, 144, 40, 120),
              "player A's own trabant is drawn in blue at the bottom of the left view")
        check({5, 13} <= view_colours(race, 161, 94, 144, 40, 120),
              "player B's own beetle is drawn in magenta at the bottom of the right view")
        scores = {n: panorama_match(race, 0, p) for n, p in PANORAMAS.items()}
        check(scores["suburb"] > 0.9 and scores["suburb"] > max(scores["boul"], scores["iron"]),
              "the left view's sky is the suburb panorama (%s)" %
              ", ".join("%s %.2f" % kv for kv in sorted(scores.items())))
        game.key("Escape")
        time.sleep(0.3)
        _, menu = game.shot("back-to-menu")
        check(menu.share(7) > 0.5, "releasing Escape returns to the menu")
        status = game.close()
        check(status == 0, "closing the window from the menu exits with status 0")
    finally:
        game.stop()


def region_match(screen, x0, y0, name):
    """The share of an art picture's pixels that the screen shows at (x0, y0)."""
    w, h, pixels = art(name)
    same = sum(1 for y in range(h) for x in range(w)
               if screen.at(x0 + x, y0 + y) == pixels[y * w + x])
    return same / float(w * h)


def wait_for(game, name, condition, timeout, every=1.5, between=None):
    """Takes shots until condition(screen) holds; returns the last (path, screen)."""
    end = time.time() + timeout
    while True:
        path, screen = game.shot(name)
        if condition(screen):
            return path, screen
        if time.time() > end:
            raise CheckFailed("%s: not seen within %.0f s" % (name, timeout))
        if between:
            between()
        time.sleep(every)


def scenario_computer(args):
    """One person against the computer: C on the car stage hands player B to the computer;
    player A alone drives, and B's car goes round the track by itself to the finish."""
    b = 161  # player B's half starts at column 161
    game = Game(args, name="computer")
    try:
        game.key("Return")                       # leave the title
        game.key("Return")                       # the boul track: the car stage
        _, people = game.shot("computer-menu-people")
        check(region_match(people, b + 8, 3, "menucomputer_d") < 0.5,
              "before C, player B's half shows no computer card")
        game.key("c")                            # the computer takes player B's car
        _, menu = game.shot("computer-menu")
        check(region_match(menu, b + 8, 3, "menucomputer_d") > 0.98,
              "after C, player B's half shows the computer's card")
        check(menu.colours(b + 64, 174, b + 87, 187) == {7} and
              menu.colours(b + 138, 84, b + 155, 115) == {7},
              "player B's arrows and OK mark are gone: the computer has confirmed its car")
        check({3, 11} <= menu.colours(b, 31, 320, 200) or {14} <= menu.colours(b, 31, 320, 200)
              or {5, 13} <= menu.colours(b, 31, 320, 200),
              "player B's half shows the computer's car in player B's colours")
        game.key("d")                            # player A confirms: the race starts
        time.sleep(3.2)                          # the countdown
        game.keydown("w")                        # from now on only player A's keys
        steer = ["a", "d"]

        def tap():  # player A's simple steering: a short tap left or right in turn
            game.key(steer[0], hold=0.1)
            steer.reverse()

        time.sleep(2.0)
        _, early = game.shot("computer-race-early")
        time.sleep(1.0)
        _, later = game.shot("computer-race-later")
        changed = sum(1 for y in range(0, 152) for x in range(b, 320)
                      if early.at(x, y) != later.at(x, y))
        check(changed > 2000, "player B's view moves on by itself (%d pixels changed)" % changed)
        check(region_match(later, b + 87, 156, "digit1Data") > 0.95,
              "player B's lap counter shows lap 1")
        wait_for(game, "computer-lap2",
                 lambda s: region_match(s, b + 87, 156, "digit2Data") > 0.95, 60,
                 between=tap)
        print("ok: player B's lap counter advances to lap 2")
        _, finish = wait_for(game, "computer-finish",
                             lambda s: region_match(s, b, 152, "first_d") > 0.95, 90,
                             between=tap)
        print("ok: the computer finishes three laps and wins: player B's view shows first place")
        check(region_match(finish, 0, 152, "last_d") > 0.95,
              "player A, far behind, is placed second")
        game.keyup("w")
        wait_for(game, "computer-back-to-menu", lambda s: s.share(7) > 0.5, 20)
        print("ok: after the finish the game returns to the menu by itself")
        game.key("Return")                       # the track again: the car stage
        _, again = game.shot("computer-menu-again")
        check(region_match(again, b + 8, 3, "menucomputer_d") > 0.98,
              "back in the car stage, the computer still drives player B")
        status = game.close()
        check(status == 0, "closing the window exits with status 0")
    finally:
        game.stop()


def analyse(path, *options):
    out = subprocess.run([sys.executable, os.path.join(HERE, "analyse_audio.py"), path] +
                         list(options), check=True, stdout=subprocess.PIPE).stdout
    return json.loads(out)


def near(value, target, tolerance):
    return value is not None and abs(value - target) <= tolerance


def play_title_and_start(game):
    """Speaker test on the title, then straight into a race (both players' first car)."""
    time.sleep(1.0)
    game.key("Left")
    time.sleep(1.2)
    game.key("Right")
    time.sleep(1.2)
    game.key("Return")   # title -> menu
    game.key("Return")   # track chosen
    game.key("Return")   # both cars confirmed: the race starts
    time.sleep(3.5)      # countdown: beeps 1, 2 and 3 s after the start
    game.keydown("w", "Up")
    time.sleep(2.0)
    game.keyup("w", "Up")


def scenario_sound(args):
    game = Game(args, name="sound")
    try:
        play_title_and_start(game)
        check(game.close() == 0, "the game exits with status 0")
    finally:
        game.stop()
    segments = analyse(game.audio, "--segments")["segments"]
    print("segments:", [(s["start"], s["end"], s["side"], s["freq"]) for s in segments])
    check(len(segments) >= 3, "the recording has the speaker test and the race in it")
    left, right = segments[0], segments[1]
    check(left["side"] == "left" and near(left["right"]["rms"], 0, 0.5) and
          near(left["freq"], 440, 10), "Left on the title beeps at 440 Hz in the left speaker only")
    check(right["side"] == "right" and near(right["left"]["rms"], 0, 0.5) and
          near(right["freq"], 440, 10), "Right on the title beeps at 440 Hz in the right speaker only")
    race = [s for s in segments[2:] if s["side"] == "both"]
    check(race, "the race is heard on both sides")
    start = race[0]["start"]  # the engines start idling in the first race step
    for offset, pitch in ((1.0, 440), (2.0, 440), (3.0, 880)):
        # The loudest tenth of a second near the expected time is the beep's attack.
        windows = [start + offset - 0.15 + 0.025 * i for i in range(16)]
        loudest = max(windows, key=lambda t: analyse(game.audio, "--from", str(t), "--to",
                                                     str(t + 0.1))["left"]["rms"])
        beep = analyse(game.audio, "--from", str(loudest), "--to", str(loudest + 0.15))
        check(beep["side"] == "both" and near(beep["left"]["freq"], pitch, pitch * 0.02) and
              near(beep["right"]["freq"], pitch, pitch * 0.02),
              "start-light beep at %.0f Hz on both sides %.0f s into the race (heard %s Hz)" %
              (pitch, offset, beep["left"]["freq"]))
    engines = analyse(game.audio, "--from", str(start + 4.5), "--to", str(start + 5.5))
    check(engines["side"] == "both" and engines["left"]["rms"] > 100 and
          engines["right"]["rms"] > 100, "both engines are heard while accelerating")


def scenario_swap(args):
    game = Game(args, ["-swap"], name="swap")
    try:
        time.sleep(1.0)
        game.key("Left")
        time.sleep(1.2)
        game.key("Right")
        time.sleep(1.2)
        check(game.close() == 0, "the game exits with status 0")
    finally:
        game.stop()
    segments = analyse(game.audio, "--segments")["segments"]
    sides = [s["side"] for s in segments]
    check(sides == ["right", "left"], "with -swap, Left beeps on the right and Right on the "
          "left (heard %s)" % sides)


def scenario_mute(args):
    game = Game(args, ["-mute"], name="mute")
    try:
        play_title_and_start(game)
        check(game.close() == 0, "the muted game exits with status 0")
    finally:
        game.stop()
    with open(game.audio, "rb") as f:
        data = f.read()
    check(len(data) > 48000 * 4 * 5, "the audio device played for the whole run (%d bytes)" %
          len(data))
    check(data.count(0) == len(data), "with -mute every sample is silence")


FAST_FRAME_MS = 25  # frames closer together than half a period are a catch-up burst


def longest_fast_run(times):
    """The most frames in a row drawn less than FAST_FRAME_MS after the one before."""
    run = longest = 0
    for before, after in zip(times, times[1:]):
        run = run + 1 if after - before < FAST_FRAME_MS else 0
        longest = max(longest, run)
    return longest


def check_pacing(times, seconds, what):
    """The game kept drawing through the recording, without a burst of fast frames."""
    gaps = [b - a for a, b in zip(times, times[1:])]
    print("%s: %d frames in %.1f s, longest gap %d ms, longest run of fast frames %d" %
          (what, len(times), seconds, max(gaps) if gaps else 0, longest_fast_run(times)))
    check(len(times) >= 10 * seconds, "the game keeps drawing %s (%d frames in %.1f s)" %
          (what, len(times), seconds))
    check(longest_fast_run(times) <= 10, "no burst of fast frames %s (longest run %d)" %
          (what, longest_fast_run(times)))


def check_full_screen_picture(game, screen, what):
    check(game.geometry() == game.screen, "%s: the window covers the %dx%d screen" %
          ((what,) + game.screen))
    check(screen.outside_black() == 1.0, "%s: black bars beside the 4:3 picture %s" %
          (what, fit_picture(*game.screen)))
    check(screen.foreign == 0, "%s: the picture inside them shows only VGA colours" % what)


def switch_to_full_screen(game, keys, where):
    """Presses keys (xdotool names) while the frames are recorded; checks that the game
    went full screen with its pacing undisturbed and returns the screen it shows."""
    recorder = game.record_frames(4.0)
    time.sleep(1.0)
    game.run("xdotool", "key", keys)
    times = game.frames(recorder)
    check(game.wait_geometry(game.screen), "%s switches to full screen %s" % (keys, where))
    check_pacing(times, 4.0, "across %s %s" % (keys, where))
    _, screen = game.shot_screen("fullscreen-" + where.split()[-1])
    check_full_screen_picture(game, screen, where)
    return screen


def scenario_fullscreen(args):
    game = Game(args, name="fullscreen", screen=(1280, 720), wm=True)
    try:
        check(game.geometry() == (WINDOW_W, WINDOW_H), "the game starts in its 640 x 480 window")
        screen = switch_to_full_screen(game, "alt+Return", "on the title")
        check_title_screen(screen)
        game.run("xdotool", "key", "alt+Return")
        check(game.wait_geometry((WINDOW_W, WINDOW_H)), "Alt+Enter again goes back to the window")
        _, title = game.shot("title-after-fullscreen")
        check_title_screen(title)  # so neither Enter of Alt+Enter left the title

        # Escape held from the title into the menu and let go there: the menu never saw
        # it go down, so it must not quit the game.
        game.keydown("Escape")
        game.key("Return")
        game.keyup("Escape")
        time.sleep(0.4)
        check(game.proc.poll() is None, "an Escape pressed before the menu and released in it "
              "does not quit the game")
        _, menu = game.shot("menu-after-escape")
        check(menu.share(7) > 0.5, "the menu shows after that Escape")

        game.key("Return", "Return")  # the track, then both cars: the race starts
        time.sleep(0.8)
        race = switch_to_full_screen(game, "F11", "in a race")
        check(race.colours(159, 0, 161, 200) == {0} and 8 in race.colours(0, 80, 159, 152) and
              8 in race.colours(161, 80, 320, 152), "the race shows both views of the road")
        game.keydown("w", "Up")
        time.sleep(2.0)
        _, later = game.shot_screen("fullscreen-race-later")
        game.keyup("w", "Up")
        for name, x0 in (("left", 0), ("right", 161)):
            changed = sum(race.at(x, y) != later.at(x, y)
                          for y in range(80, 152) for x in range(x0, x0 + 159))
            check(changed > 100, "the race goes on in full screen: the %s car drives on "
                  "(%d road pixels changed in 2 s)" % (name, changed))
        game.run("xdotool", "key", "F11")
        check(game.wait_geometry((WINDOW_W, WINDOW_H)), "F11 again goes back to the window")
        _, window = game.shot("race-after-fullscreen")
        check(window.colours(159, 0, 161, 200) == {0} and 8 in window.colours(0, 80, 159, 152),
              "the race is still on in the window")
        game.key("Escape")
        time.sleep(0.4)
        _, menu = game.shot("menu-after-fullscreen-race")
        check(menu.share(7) > 0.5, "Escape still returns from the race to the menu")
        check(game.close() == 0, "the game exits with status 0")
        printed = game.printed()
        check(printed == [], "nothing is printed on the way: %r" % printed)
    finally:
        game.stop()


def scenario_stall(args):
    game = Game(args, name="stall")
    try:
        recorder = game.record_frames(6.0)
        time.sleep(1.0)
        os.kill(game.proc.pid, signal.SIGSTOP)  # as a suspend or a long stall would
        time.sleep(3.0)
        os.kill(game.proc.pid, signal.SIGCONT)
        times = game.frames(recorder)
        check_pacing(times, 3.0, "around a 3 s stall")
        resumed = [t for t in times if t > times[-1] - 1500]
        check(20 <= len(resumed) <= 40, "after the stall the game runs at 20 frames per second "
              "again (%d frames in its last 1.5 s)" % len(resumed))
        check(game.close() == 0, "the game exits with status 0")
    finally:
        game.stop()


SCENARIOS = {
    "badarg": scenario_badarg,
    "title": scenario_title,
    "race": scenario_race,
    "sound": scenario_sound,
    "mute": scenario_mute,
    "swap": scenario_swap,
    "fullscreen": scenario_fullscreen,
    "stall": scenario_stall,
    "computer": scenario_computer,
}


def main(scenarios=SCENARIOS, description=__doc__, name="e2e"):
    """Runs the scenario the command line names; the network tests run theirs with it."""
    parser = argparse.ArgumentParser(description=description,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--game", required=True)
    parser.add_argument("--xclose", required=True)
    parser.add_argument("--xframes", help="the frame recorder (fullscreen, stall, network)")
    parser.add_argument("--out", required=True)
    parser.add_argument("scenario", choices=sorted(scenarios))
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    try:
        scenarios[args.scenario](args)
    except CheckFailed as failure:
        print("FAILED:", failure)
        return 1
    print("%s %s: all checks passed" % (name, args.scenario))
    return 0


if __name__ == "__main__":
    sys.exit(main())

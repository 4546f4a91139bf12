#!/usr/bin/env python3
"""End-to-end tests of the real game: the zotik binary in a real X window (Xvfb), driven
with xdotool, its window captured with ImageMagick and its sound recorded with SDL's disk
audio driver.

    e2e.py --game build/zotik --xclose build/tests/xclose --out DIR SCENARIO

Scenarios: badarg, title, race, sound, swap, mute, computer. Exit status 0 when every check
passed.
"""
import argparse
import json
import os
import re
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tools"))

VGA16 = [
    (0x00, 0x00, 0x00), (0x00, 0x00, 0xAA), (0x00, 0xAA, 0x00), (0x00, 0xAA, 0xAA),
    (0xAA, 0x00, 0x00), (0xAA, 0x00, 0xAA), (0xAA, 0x55, 0x00), (0xAA, 0xAA, 0xAA),
    (0x55, 0x55, 0x55), (0x55, 0x55, 0xFF), (0x55, 0xFF, 0x55), (0x55, 0xFF, 0xFF),
    (0xFF, 0x55, 0x55), (0xFF, 0x55, 0xFF), (0xFF, 0xFF, 0x55), (0xFF, 0xFF, 0xFF),
]
WINDOW_W, WINDOW_H = 640, 480
SCREEN_W, SCREEN_H = 320, 200


class CheckFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CheckFailed(message)
    print("ok:", message)


class Screen:
    """A captured window, read back as the game's 320 x 200 palette indices."""

    def __init__(self, path):
        raw = subprocess.run(["convert", path, "-depth", "8", "RGB:-"], check=True,
                             stdout=subprocess.PIPE).stdout
        if len(raw) != WINDOW_W * WINDOW_H * 3:
            raise CheckFailed("%s is not a %dx%d picture" % (path, WINDOW_W, WINDOW_H))
        self.rgb = raw
        lookup = {c: i for i, c in enumerate(VGA16)}
        self.index = []
        self.foreign = 0  # window pixels that are no VGA colour
        for y in range(SCREEN_H):
            wy = int((y + 0.5) * WINDOW_H / SCREEN_H)
            for x in range(SCREEN_W):
                o = (wy * WINDOW_W + 2 * x + 1) * 3
                c = (raw[o], raw[o + 1], raw[o + 2])
                if c not in lookup:
                    self.foreign += 1
                self.index.append(lookup.get(c, -1))

    def at(self, x, y):
        return self.index[y * SCREEN_W + x]

    def share(self, colour, x0=0, y0=0, x1=SCREEN_W, y1=SCREEN_H):
        n = sum(1 for y in range(y0, y1) for x in range(x0, x1) if self.at(x, y) == colour)
        return n / float((x1 - x0) * (y1 - y0))

    def colours(self, x0, y0, x1, y1):
        return {self.at(x, y) for y in range(y0, y1) for x in range(x0, x1)}


class Game:
    """Xvfb plus one running game."""

    def __init__(self, args, extra_args=(), name="game"):
        self.args = args
        self.out = args.out
        self.name = name
        self.audio = os.path.join(self.out, name + "-audio.raw")
        if os.path.exists(self.audio):
            os.remove(self.audio)
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "800x600x24", "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as f:
            self.display = ":" + f.readline().strip()
        self.env = dict(os.environ, DISPLAY=self.display, SDL_AUDIODRIVER="disk",
                        SDL_DISKAUDIOFILE=self.audio)
        self.log = open(os.path.join(self.out, name + ".log"), "w")
        self.proc = subprocess.Popen([args.game] + list(extra_args), env=self.env,
                                     stdout=self.log, stderr=subprocess.STDOUT)
        self.window = self.wait_window()

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

    def shot(self, name):
        path = os.path.join(self.out, name + ".png")
        self.run("import", "-window", self.window, path)
        return path, Screen(path)

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
        self.xvfb.terminate()
        self.xvfb.wait()
        self.log.close()

    def output(self):
        self.log.flush()
        with open(self.log.name) as f:
            return f.read()


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
        # SDL itself announces the disk audio driver used for recording; nothing else.
        printed = [line for line in game.output().splitlines()
                   if "SDL disk i/o audio driver" not in line and "Writing to file" not in line]
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


SCENARIOS = {
    "badarg": scenario_badarg,
    "title": scenario_title,
    "race": scenario_race,
    "sound": scenario_sound,
    "mute": scenario_mute,
    "swap": scenario_swap,
    "computer": scenario_computer,
}


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--game", required=True)
    parser.add_argument("--xclose", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    try:
        SCENARIOS[args.scenario](args)
    except CheckFailed as failure:
        print("FAILED:", failure)
        return 1
    print("e2e %s: all checks passed" % args.scenario)
    return 0


if __name__ == "__main__":
    sys.exit(main())

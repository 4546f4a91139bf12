#!/usr/bin/env python3
"""End-to-end tests of the real game: the zotik binary in a real X window (Xvfb), driven
with xdotool, its window captured with ImageMagick and its sound recorded with SDL's disk
audio driver.

    e2e.py --game build/zotik --xclose build/tests/xclose --out DIR SCENARIO

Scenarios: badarg, title, race, sound, mute. Exit status 0 when every check passed.
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
        check(game.output() == "", "nothing printed on a clean run")
    finally:
        game.stop()


SCENARIOS = {
    "badarg": scenario_badarg,
    "title": scenario_title,
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

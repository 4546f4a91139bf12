#!/usr/bin/env python3
"""The installation as a player's system gets it: installs the build into a scratch
DESTDIR under the prefix /usr/local, then checks the file list, validates the menu
entry, the AppStream data and the manual page with the tools made for them, compares
the icons with their pixel-art sources, and starts the installed game.

    package_check.py --build DIR --app-id ID --version X.Y.Z --scratch DIR [--cmake CMAKE]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tools"))
import icons  # noqa: E402
import pngio  # noqa: E402

PREFIX = "usr/local"
ARGS = None  # the parsed command line, set in main()
# What follows an option that cannot stand alone, when the installed game is tried with
# it (an address no packet is ever sent to: without a window the game stops first).
OPTION_VALUES = {"-join": ["127.0.0.1"]}


def run(cmd, **kwargs):
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          universal_newlines=True, timeout=60, **kwargs)


def no_display_env():
    """An environment in which the game cannot open a window anywhere, so that it stops
    right after reading its command line."""
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["SDL_VIDEODRIVER"] = "none-for-this-test"
    env["SDL_AUDIODRIVER"] = "dummy"
    return env


def desktop_entry(path):
    """The keys of the [Desktop Entry] group."""
    keys, group = {}, None
    with open(path) as f:
        for line in f:
            line = line.strip()
            if line.startswith("["):
                group = line
            elif group == "[Desktop Entry]" and "=" in line and not line.startswith("#"):
                key, value = line.split("=", 1)
                keys[key] = value
    return keys


def manual_options(path):
    """The options listed under OPTIONS in a manual page's source: the literal part of
    each (the -a of '-a port')."""
    with open(path) as f:
        lines = f.read().splitlines()
    start = lines.index(".SH OPTIONS") + 1
    end = next(i for i in range(start, len(lines)) if lines[i].startswith(".SH "))
    options = []
    for before, line in zip(lines[start:end], lines[start + 1:end]):
        if before == ".TP" and re.match(r"\.BI? ", line):
            options.append(line.split()[1].replace("\\-", "-"))
    return options


def readme_options():
    """The options in the README's synopsis line (zotik [-mute] ...), literal parts."""
    with open(os.path.join(ROOT, "README.md")) as f:
        for line in f:
            if re.match(r"\s+zotik \[", line):
                return re.findall(r"\[(-[A-Za-z]+)", line)
    return []


class Installation(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.destdir = os.path.join(ARGS.scratch, "destdir")
        shutil.rmtree(cls.destdir, ignore_errors=True)
        os.makedirs(cls.destdir)
        result = run([ARGS.cmake, "--install", ARGS.build, "--prefix", "/" + PREFIX],
                     env=dict(os.environ, DESTDIR=cls.destdir))
        if result.returncode != 0:
            raise RuntimeError("cmake --install failed:\n" + result.stdout + result.stderr)
        cls.root = os.path.join(cls.destdir, PREFIX)
        cls.app = ARGS.app_id

    def path(self, relative):
        return os.path.join(self.root, relative)

    def test_installs_exactly_the_files_a_desktop_game_needs(self):
        expected = {
            "bin/zotik",
            "share/applications/%s.desktop" % self.app,
            "share/metainfo/%s.metainfo.xml" % self.app,
            "share/man/man6/zotik.6",
            "share/doc/zotik/README.md",
            "share/doc/zotik/LICENSE",
            "share/doc/zotik/docs/title.png",
            "share/doc/zotik/docs/menu.png",
            "share/doc/zotik/docs/race.png",
        }
        expected |= {"share/icons/hicolor/%dx%d/apps/%s.png" % (s, s, self.app)
                     for s in (16, 32, 48, 64, 128, 256)}
        found = set()
        for directory, _, files in os.walk(self.destdir):
            for name in files:
                found.add(os.path.relpath(os.path.join(directory, name), self.root))
        self.assertEqual(sorted(found - expected), [], "installed but not expected")
        self.assertEqual(sorted(expected - found), [], "expected but not installed")
        self.assertTrue(os.access(self.path("bin/zotik"), os.X_OK), "zotik is not executable")

    def test_menu_entry_is_valid_and_starts_the_installed_game(self):
        path = self.path("share/applications/%s.desktop" % self.app)
        result = run(["desktop-file-validate", path])
        self.assertEqual((result.returncode, result.stdout + result.stderr), (0, ""),
                         "desktop-file-validate complains")
        entry = desktop_entry(path)
        self.assertEqual(entry.get("Type"), "Application")
        self.assertEqual(entry.get("Name"), "Zotik")
        self.assertTrue({"Game", "ArcadeGame"} <= set(entry.get("Categories", "").split(";")),
                        "categories: %r" % entry.get("Categories"))
        program = entry.get("Exec", "").split()[0]
        self.assertTrue(os.access(self.path(os.path.join("bin", program)), os.X_OK),
                        "Exec=%s is not the installed program" % program)
        self.assertTrue(os.path.exists(self.path("share/icons/hicolor/48x48/apps/%s.png" %
                                                 entry.get("Icon"))),
                        "Icon=%s names no installed icon" % entry.get("Icon"))

    def validate_appstream(self, path):
        result = run(["appstreamcli", "validate", "--no-net", path])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        # Only one remark is expected, and explained in dist/CMakeLists.txt: the id sits
        # under .invalid until the project has a domain of its own.
        remarks = [line for line in result.stdout.splitlines() if re.match(r"[EWIP]: ", line)]
        unexpected = [r for r in remarks
                      if not (r.startswith("I: ") and "cid-maybe-not-rdns" in r and
                              self.app.startswith("invalid."))]
        self.assertEqual(unexpected, [], "appstreamcli validate: " + result.stdout)
        return ElementTree.parse(path).getroot()

    def test_appstream_data_is_valid_and_names_this_release(self):
        component = self.validate_appstream(self.path("share/metainfo/%s.metainfo.xml" %
                                                      self.app))
        self.assertEqual(component.findtext("id"), self.app)
        self.assertEqual(component.findtext("launchable"), self.app + ".desktop")
        self.assertEqual(component.find("releases/release").get("version"), ARGS.version)
        self.assertEqual(component.findtext("provides/binary"), "zotik")

    def test_appstream_data_with_web_addresses_lists_the_readme_screenshots(self):
        # The variant for when the project publishes its pages (the addresses here are
        # the ones reserved for examples, with characters that XML must escape).
        out = os.path.join(ARGS.scratch, "web.metainfo.xml")
        result = run([ARGS.cmake, "-DZOTIK_APP_ID=" + self.app, "-DZOTIK_VERSION=" + ARGS.version,
                      "-DZOTIK_HOMEPAGE_URL=https://example.org/zotik?lang=en&page=1",
                      "-DZOTIK_SCREENSHOT_URL=https://example.org/zotik/docs/",
                      "-DZOTIK_METAINFO_OUT=" + out,
                      "-P", os.path.join(ROOT, "dist", "metainfo.cmake")])
        self.assertEqual(result.returncode, 0, result.stderr)
        component = self.validate_appstream(out)
        self.assertEqual(component.findtext("url"), "https://example.org/zotik?lang=en&page=1")
        images = [i.text for i in component.findall("screenshots/screenshot/image")]
        self.assertEqual(images, ["https://example.org/zotik/docs/%s.png" % name
                                  for name in ("title", "menu", "race")])
        with open(os.path.join(ROOT, "README.md")) as f:
            readme = f.read()
        for name in ("title", "menu", "race"):
            self.assertIn("docs/%s.png" % name, readme, "the README shows this screenshot")

    def test_manual_page_is_clean_and_its_options_are_the_games(self):
        path = self.path("share/man/man6/zotik.6")
        # As lintian checks manual pages: any warning from groff goes to standard error.
        result = run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", path],
                     env=dict(os.environ, LC_ALL="C.UTF-8", MANROFFSEQ="", MANWIDTH="80"))
        self.assertEqual((result.returncode, result.stderr), (0, ""), "man --warnings")
        result = run(["lexgrog", path])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn("zotik - ", result.stdout, "whatis cannot read the NAME line")
        with open(path) as f:
            self.assertIn('"Zotik %s"' % ARGS.version, f.read(), "the page names this release")

        options = manual_options(path)
        self.assertEqual(sorted(options), sorted(readme_options()),
                         "the manual page and the README list different options")
        game = self.path("bin/zotik")
        for option in options:
            result = run([game, option] + OPTION_VALUES.get(option, []), env=no_display_env())
            self.assertNotIn("Unknown argument", result.stdout, "%s is documented" % option)
            self.assertTrue(result.stderr.startswith("zotik: cannot"),
                            "with %s the game went on to open its window: %r" %
                            (option, result.stderr))

    def test_icons_are_the_pixel_art_scaled_by_whole_factors(self):
        for size in sorted(icons.SIZES):
            with self.subTest(size=size):
                installed = pngio.read_indexed(
                    self.path("share/icons/hicolor/%dx%d/apps/%s.png" % (size, size, self.app)))
                self.assertEqual(installed[:2], (size, size))
                self.assertTrue(installed == icons.expected(size),
                                "%d px icon differs from %s.png scaled %d times: "
                                "run python3 tools/icons.py" % (size, *icons.SIZES[size]))

    def test_installed_game_reports_a_bad_argument(self):
        with tempfile.TemporaryDirectory() as elsewhere:  # far from the source tree
            result = run([self.path("bin/zotik"), "-x"], cwd=elsewhere, env=no_display_env())
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, "Unknown argument '-x'\n")

    def test_installed_game_needs_nothing_from_the_build_or_source_tree(self):
        result = run(["readelf", "-d", self.path("bin/zotik")])
        self.assertEqual(result.returncode, 0, result.stderr)
        for line in result.stdout.splitlines():
            if "RPATH" in line or "RUNPATH" in line:
                for tree in (os.path.realpath(ARGS.build), os.path.realpath(ROOT)):
                    self.assertNotIn(tree, line, "the installed game loads from " + tree)

    def test_make_install_then_make_uninstall_leaves_nothing_behind(self):
        destdir = os.path.join(ARGS.scratch, "make-install")
        shutil.rmtree(destdir, ignore_errors=True)
        os.makedirs(destdir)
        record = os.path.join(ARGS.scratch, "installed-files.txt")
        script = os.path.join(ROOT, "dist", "install.sh")
        env = dict(os.environ, DESTDIR=destdir)
        result = run([script, "install", ARGS.build, "/" + PREFIX, record], env=env)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        installed = [os.path.join(d, f) for d, _, files in os.walk(destdir) for f in files]
        with open(record) as f:
            self.assertEqual(sorted(installed), sorted(f.read().split()),
                             "the record names every installed file where it is")
        result = run([script, "uninstall", record], env=env)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        left = [os.path.join(d, f) for d, _, files in os.walk(destdir) for f in files]
        self.assertEqual(left, [], "files left after the uninstall")
        own = [d for d, _, _ in os.walk(destdir) if os.path.basename(d) == "zotik"]
        self.assertEqual(own, [], "the game's own folders are left")

    def test_debian_package_has_the_same_version(self):
        with open(os.path.join(ROOT, "debian", "changelog")) as f:
            first = f.readline()
        match = re.match(r"zotik \(([^)]+)\)", first)
        self.assertIsNotNone(match, first)
        self.assertEqual(match.group(1), ARGS.version, "debian/changelog and CMake disagree")


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True)
    parser.add_argument("--app-id", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--scratch", required=True)
    parser.add_argument("--cmake", default="cmake")
    ARGS, rest = parser.parse_known_args()
    os.makedirs(ARGS.scratch, exist_ok=True)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()

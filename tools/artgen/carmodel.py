"""A tiny flat-shaded renderer for the race car sprites.

Each car is a handful of planar faces in car coordinates (x right, y up, z forward,
units of one pixel at the rear bumper).  A face carries a material: a function of the
hit point that returns a palette index, so lights, glass and the number plate are
painted by position.  Rendering casts one ray per pixel centre, so every pose of a
car comes out of the same model with the same proportions.
"""

import math

CLEAR = 16
# Light from above, from the left and a little from behind the camera.
_L = (-0.45, 0.8, -0.4)
_n = math.sqrt(sum(c * c for c in _L))
LIGHT = tuple(c / _n for c in _L)

def sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


class Face:
    """A planar convex or concave polygon, vertices counter-clockwise seen from outside."""

    def __init__(self, verts, material, tag=""):
        self.verts = verts
        self.material = material
        self.tag = tag
        # Newell's method: robust normal for any planar polygon.
        nx = ny = nz = 0.0
        for i, a in enumerate(verts):
            b = verts[(i + 1) % len(verts)]
            nx += (a[1] - b[1]) * (a[2] + b[2])
            ny += (a[2] - b[2]) * (a[0] + b[0])
            nz += (a[0] - b[0]) * (a[1] + b[1])
        size = math.sqrt(nx * nx + ny * ny + nz * nz)
        self.normal = (nx / size, ny / size, nz / size) if size > 1e-9 else None


class Model:
    def __init__(self):
        self.faces = []

    def add(self, verts, material, tag="", inside=None):
        """Add a face; with `inside` given, turn it so its normal points away from it."""
        f = Face(verts, material, tag)
        if f.normal is None:
            return  # degenerate: a section that shrank to a line or point
        if inside is not None and dot(f.normal, sub(verts[0], inside)) < 0:
            f = Face(list(reversed(verts)), material, tag)
        self.faces.append(f)

    def loft(self, sections, material, caps=True, tag=""):
        """Join cross-sections (each a list of (x, y, z), same count, going round the
        outline) into quads; close both ends when caps is set.  The solid must be
        convex enough that its centre lies inside every face's back half-space."""
        pts = [p for s in sections for p in s]
        inside = tuple(sum(p[i] for p in pts) / len(pts) for i in range(3))
        for s0, s1 in zip(sections, sections[1:]):
            n = len(s0)
            for k in range(n):
                a, b = s0[k], s0[(k + 1) % n]
                c, d = s1[(k + 1) % n], s1[k]
                # two triangles keep every face planar
                self.add([a, d, c], material, tag, inside)
                self.add([a, c, b], material, tag, inside)
        if caps:
            self.add(list(sections[0]), material, tag + "rear", inside)
            self.add(list(sections[-1]), material, tag + "front", inside)

    def box(self, x0, x1, y0, y1, z0, z1, material, tag=""):
        sec = lambda z: [(x0, y0, z), (x1, y0, z), (x1, y1, z), (x0, y1, z)]
        self.loft([sec(z0), sec(z1)], material, tag=tag)

    def wheel(self, cx, cy, cz, r, width, steer_deg, tread, wall, sides=10):
        """A tyre: a prism along x, optionally steered about the vertical axis."""
        s = math.radians(steer_deg)
        cs, sn = math.cos(s), math.sin(s)

        def pt(dx, ang):
            y = cy + r * math.sin(ang)
            dz = r * math.cos(ang)
            # steer: rotate (dx, dz) about the wheel's centre
            return (cx + dx * cs - dz * sn, y, cz + dx * sn + dz * cs)

        angs = [2 * math.pi * (k + 0.5) / sides for k in range(sides)]
        left = [pt(-width / 2, a) for a in angs]
        right = [pt(width / 2, a) for a in angs]
        centre_l = (cx - width / 2 * cs, cy, cz - width / 2 * sn)
        centre_r = (cx + width / 2 * cs, cy, cz + width / 2 * sn)
        centre = (cx, cy, cz)
        for k in range(sides):
            k1 = (k + 1) % sides
            self.add([left[k], left[k1], right[k1], right[k]], tread, "tread", centre)
        self.add(list(left), wall(centre_l, r), "wall", centre)
        self.add(list(right), wall(centre_r, r), "wall", centre)


def render(model, w, h, yaw_deg, distance=190.0, height=46.0, bottom=50.0, centre=None):
    """Render the model yawed by yaw_deg (positive: nose to the left) into w x h pixels.

    The camera sits `distance` behind the rear bumper at `height`, looking straight
    ahead; one unit at the bumper is one pixel.  The picture is placed so that its
    lowest point lies on row `bottom` and, unless centre is given, its bounding box is
    centred horizontally.
    """
    a = math.radians(yaw_deg)
    ca, sa = math.cos(a), math.sin(a)
    pivot_z = 30.0  # turn about the rear axle

    def to_world(p):
        x, y, z = p[0], p[1], p[2] - pivot_z
        return (x * ca - z * sa, y, x * sa + z * ca + pivot_z)

    def to_local(p):
        x, y, z = p[0], p[1], p[2] - pivot_z
        return (x * ca + z * sa, y, -x * sa + z * ca + pivot_z)

    cam = (0.0, height, -distance)

    def project(p):
        zc = p[2] - cam[2]
        return (distance * p[0] / zc, distance * (height - p[1]) / zc, zc)

    faces = []
    minx = miny = 1e9
    maxx = maxy = -1e9
    for f in model.faces:
        wv = [to_world(v) for v in f.verts]
        wn = _rot(f.normal, ca, sa)
        if dot(wn, sub(wv[0], cam)) >= 0:
            continue  # facing away
        pv = [project(v) for v in wv]
        faces.append((f, wn, pv))
        for x, y, _ in pv:
            minx, maxx, miny, maxy = min(minx, x), max(maxx, x), min(miny, y), max(maxy, y)

    ox = (w - (maxx - minx)) / 2 - minx if centre is None else centre
    oy = bottom - maxy
    out = [CLEAR] * (w * h)
    depth = [1e9] * (w * h)
    for f, wn, pv in faces:
        pts = [(x + ox, y + oy) for x, y, _ in pv]
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        x0, x1 = max(0, int(min(xs))), min(w - 1, int(max(xs)) + 1)
        y0, y1 = max(0, int(min(ys))), min(h - 1, int(max(ys)) + 1)
        inv = _inv_depth_plane(pts, [p[2] for p in pv])
        if inv is None:
            continue
        bright = dot(wn, LIGHT)
        for sy in range(y0, y1 + 1):
            for sx in range(x0, x1 + 1):
                px, py = sx + 0.5, sy + 0.5
                if not _inside(pts, px, py):
                    continue
                iz = inv[0] * px + inv[1] * py + inv[2]
                if iz <= 0:
                    continue
                zc = 1.0 / iz
                i = sy * w + sx
                if zc >= depth[i] - 1e-6:
                    continue
                world = ((px - ox) * zc / distance, height - (py - oy) * zc / distance,
                         zc + cam[2])
                local = to_local(world)
                c = f.material(local, f.normal, bright, sx, sy)
                if c is None:
                    continue
                depth[i] = zc
                out[i] = c
    return out


def _rot(v, ca, sa):
    return (v[0] * ca - v[2] * sa, v[1], v[0] * sa + v[2] * ca)


def _inv_depth_plane(pts, zs):
    """Fit 1/z = a*x + b*y + c over the projected polygon (exact for planar faces)."""
    n = len(pts)
    best = None
    for i in range(n):
        for j in range(i + 1, n):
            for k in range(j + 1, n):
                (x1, y1), (x2, y2), (x3, y3) = pts[i], pts[j], pts[k]
                det = (x2 - x1) * (y3 - y1) - (x3 - x1) * (y2 - y1)
                if best is None or abs(det) > abs(best[0]):
                    best = (det, i, j, k)
    if best is None or abs(best[0]) < 1e-9:
        return None
    det, i, j, k = best
    (x1, y1), (x2, y2), (x3, y3) = pts[i], pts[j], pts[k]
    w1, w2, w3 = 1 / zs[i], 1 / zs[j], 1 / zs[k]
    a = ((w2 - w1) * (y3 - y1) - (w3 - w1) * (y2 - y1)) / det
    b = ((x2 - x1) * (w3 - w1) - (x3 - x1) * (w2 - w1)) / det
    c = w1 - a * x1 - b * y1
    return (a, b, c)


def _inside(pts, x, y):
    inside = False
    n = len(pts)
    for i in range(n):
        (ax, ay), (bx, by) = pts[i], pts[(i + 1) % n]
        if (ay > y) != (by > y):
            if x < ax + (y - ay) * (bx - ax) / (by - ay):
                inside = not inside
    return inside

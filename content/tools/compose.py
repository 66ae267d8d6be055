#!/usr/bin/env python3
"""Composes the demo riffs and exercises as note files (content/notes/).

Run once by a developer; its output is what is kept and edited. Every piece is built from
common practice patterns (power chords, shuffles, pentatonic and major-scale licks, finger
exercises), rising in tempo and density with its number. Deterministic: the same run gives
the same files.

The files in content/notes/ have been rewritten by hand since (new music, the course put in
order of level, keys and loop tempos); running this again would overwrite that work. What it
writes follows the note format all the same: German titles, a level and a focus in the header.
"""
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
NOTES = os.path.join(HERE, "..", "notes")

E_MINOR_OPEN = [(6, 0), (6, 3), (5, 0), (5, 2), (4, 0), (4, 2), (3, 0), (3, 2), (2, 0), (2, 3), (1, 0), (1, 3)]
A_MINOR_5 = [(6, 5), (6, 8), (5, 5), (5, 7), (4, 5), (4, 7), (3, 5), (3, 7), (2, 5), (2, 8), (1, 5), (1, 8)]
G_MAJOR_2 = [(6, 3), (6, 5), (5, 2), (5, 3), (5, 5), (4, 2), (4, 4), (4, 5), (3, 2), (3, 4), (3, 5), (2, 3), (2, 5), (1, 2), (1, 3)]
A_BLUES_5 = [(6, 5), (6, 8), (5, 5), (5, 6), (5, 7), (4, 5), (4, 7), (3, 5), (3, 7), (3, 8), (2, 5), (2, 8)]


def chord(notes):
    return "+".join(f"{s}:{f}" for s, f in notes)


def bars_text(bars):
    return "\n".join("| " + "  ".join(bar) + " |" for bar in bars)


def course_level(share):
    """The header's level, 1 to 10, of a piece that stands at this share of the way through."""
    return max(1, min(10, 1 + round(share * 9)))


def write(name, title, tempo, sound, bars, meter="4/4", comment="", level=None, focus=None):
    lines = []
    if comment:
        lines.append(f"# {comment}")
    lines.append(f"title: {title}")
    if level is not None:
        lines += [f"level: {level}", f"focus: {focus}"]
    lines += [f"tempo: {tempo}", f"meter: {meter}", f"sound: {sound}", "", bars_text(bars), ""]
    with open(os.path.join(NOTES, name + ".txt"), "w") as out:
        out.write("\n".join(lines))


def power_chord_riff(rng, level):
    roots = rng.choice([[0, 3, 5, 0], [0, 5, 7, 3], [0, 7, 5, 3], [3, 5, 0, 0], [5, 3, 0, 2]])
    bars = []
    for half in range(2):
        bar = []
        for beat in range(4):
            root = roots[(half * 4 + beat) // 2]
            if level > 0.5 and beat % 2 == 1:
                bar += ["6:0/16", "6:0/16", f"{chord([(6, root), (5, root + 2)])}/8"]
            else:
                bar += [f"{chord([(6, root), (5, root + 2)])}/8", "6:0/8" if beat % 2 else f"{chord([(6, root), (5, root + 2)])}/8"]
        bars.append(bar)
    return bars


def shuffle_riff(rng, level):
    shapes = rng.choice([[0, 0, 5, 0], [0, 5, 0, 7], [0, 0, 7, 5]])
    bars = []
    for half in range(2):
        bar = []
        for beat in range(4):
            root = shapes[(half * 2 + beat // 2) % 4]
            top = 2 if beat % 2 == 0 else 4
            string = 6 if root == 0 or rng.random() < 0.5 else 5
            fret = root if string == 6 else max(0, root - 5)
            bar += [f"{chord([(string, fret), (string - 1, fret + top)])}/4t",
                    f"{chord([(string, fret), (string - 1, fret + top)])}/8t"]
        bars.append(bar)
    return bars


def lick(rng, level, scale, bars_count=2):
    bars = []
    index = rng.randrange(len(scale) // 2)
    for _ in range(bars_count):
        bar, ticks = [], 0
        while ticks < 16:
            use_sixteenths = rng.random() < level and 16 - ticks >= 2
            step = rng.choice([-2, -1, -1, 1, 1, 2])
            if use_sixteenths:
                for _ in range(2):
                    index = min(max(index + step, 0), len(scale) - 1)
                    s, f = scale[index]
                    bar.append(f"{s}:{f}/16")
                    step = rng.choice([-1, 1])
                ticks += 2
            else:
                index = min(max(index + step, 0), len(scale) - 1)
                s, f = scale[index]
                long_note = rng.random() < 0.15 and ticks % 4 == 0 and 16 - ticks >= 4
                bar.append(f"{s}:{f}/{4 if long_note else 8}")
                ticks += 4 if long_note else 2
        bars.append(bar)
    return bars


def chug_riff(rng, level):
    bars = []
    accents = rng.choice([[3, 5], [5, 7], [7, 8], [2, 3]])
    for b in range(2):
        bar = []
        for beat in range(4):
            if beat == 3:
                a = accents[b % 2]
                bar += [f"{chord([(6, a), (5, a + 2)])}/8", f"{chord([(5, a), (4, a + 2)])}/8"]
            else:
                bar += ["6:0/16"] * 2 + ["6:0/8"] if level < 0.6 else ["6:0/16"] * 4
        bars.append(bar)
    return bars


# Title, sound, what it practises (the header's focus) and how it is made.
RIFF_STYLES = [
    ("Power-Chords in E", "distortion", "Power-Chords", power_chord_riff),
    ("Shuffle in E", "overdrive", "Shuffle", shuffle_riff),
    ("Pentatonik-Riff in E", "overdrive", "Einzeltöne", lambda r, l: lick(r, l, E_MINOR_OPEN)),
    ("Blues-Lick in A", "overdrive", "Blues-Tonleiter", lambda r, l: lick(r, l, A_BLUES_5)),
    ("Dur-Lick in G", "clean", "Dur-Tonleiter", lambda r, l: lick(r, l, G_MAJOR_2)),
    ("Palm-Mute-Riff in E", "distortion", "Palm Mute", chug_riff),
    ("Pentatonik-Lick in A", "overdrive", "Pentatonik", lambda r, l: lick(r, l, A_MINOR_5)),
]


def riffs():
    for n in range(1, 59):
        rng = random.Random(1000 + n)
        level = (n - 1) / 57.0
        name, sound, focus, make = RIFF_STYLES[(n - 1) % len(RIFF_STYLES)]
        tempo = 76 + int(level * 56) + rng.randrange(0, 6)
        write(f"riff{n}", f"Riff {n} - {name}", tempo, sound, make(rng, level),
              comment=f"our own riff; style {name.lower()}", level=course_level(level), focus=focus)


def chromatic(rng, level, k):
    start = 1 + (k % 5)
    notes = []
    for string in [6, 5, 4, 3, 2, 1]:
        for finger in range(4):
            notes.append((string, start + finger))
    notes += list(reversed(notes[-8:]))
    return notes


def scale_run(scale):
    up = list(scale)
    return up + list(reversed(up))[1:]


def string_skipping(rng, level, k):
    pos = 5 + (k % 3) * 2
    pairs = [(6, 4), (5, 3), (4, 2), (3, 1)]
    notes = []
    for low, high in pairs + list(reversed(pairs)):
        notes += [(low, pos), (high, pos + 2)]
    return notes


def hammer_pull(rng, level, k):
    pos = 5 + (k % 4)
    notes = []
    for string in [3, 2, 1, 2]:
        notes += [(string, pos), (string, pos + 2), (string, pos + 3), (string, pos + 2)]
    return notes


def arpeggios(rng, level, k):
    shapes = [[(5, 0), (4, 2), (3, 2), (2, 1)], [(5, 3), (4, 2), (3, 0), (2, 1)],
              [(6, 3), (5, 2), (4, 0), (3, 0)], [(6, 0), (5, 2), (4, 2), (3, 1)]]
    rng.shuffle(shapes)
    notes = []
    for shape in shapes:
        notes += shape + [shape[2], shape[1]][: 0 if level < 0.5 else 0]
    return notes


# Title, what it practises (the header's focus) and how it is made.
EXERCISE_STYLES = [
    ("Chromatik 1-2-3-4", "Ein Finger pro Bund", chromatic),
    ("Pentatonik-Lauf in A", "Pentatonik-Lagen", lambda r, l, k: scale_run(A_MINOR_5)),
    ("Saitensprung", "Saitensprung", string_skipping),
    ("Hammer-on und Pull-off", "Hammer-on und Pull-off", hammer_pull),
    ("Arpeggien", "Arpeggien", arpeggios),
    ("G-Dur-Tonleiter", "Dur-Tonleiter", lambda r, l, k: scale_run(G_MAJOR_2)),
]


def exercises():
    for k in range(1, 43):
        rng = random.Random(5000 + k)
        level = (k - 1) / 41.0
        name, focus, make = EXERCISE_STYLES[(k - 1) % len(EXERCISE_STYLES)]
        notes = make(rng, level, k)
        per_bar = 8 if len(notes) <= 16 else 16
        value = 8 if per_bar == 8 else 16
        notes = notes[: per_bar * 2]
        while len(notes) < per_bar * 2:
            notes.append(notes[len(notes) % max(1, len(notes))])
        bars = [[f"{s}:{f}/{value}" for s, f in notes[i * per_bar:(i + 1) * per_bar]] for i in range(2)]
        tempo = 60 + int(level * 50) if value == 16 else 80 + int(level * 60)
        write(f"ex{k}", f"Übung {k} - {name}", tempo, "clean", bars,
              comment=f"our own exercise; {name}", level=course_level(level), focus=focus)


# The lesson course: pentatonic cells, two notes a string, climbing position by position.
A_MINOR_POSITIONS = [(5, [(5, 8), (5, 7), (5, 7), (5, 7), (5, 8), (5, 8)]),
                     (7, [(8, 10), (7, 10), (7, 10), (7, 9), (8, 10), (8, 10)]),
                     (10, [(10, 12), (10, 12), (10, 12), (9, 12), (10, 13), (10, 12)]),
                     (12, [(12, 15), (12, 15), (12, 14), (12, 14), (13, 15), (12, 15)]),
                     (15, [(15, 17), (15, 17), (14, 17), (14, 17), (15, 17), (15, 17)])]
C_MAJOR_POSITIONS = [(a, shape) for a, shape in A_MINOR_POSITIONS]  # the same notes, C as the root


def cell_bar(shape, upwards=True):
    strings = [6, 5, 4, 3, 2, 1] if upwards else [1, 2, 3, 4, 5, 6]
    notes = []
    for string in strings[:4]:
        low, high = shape[6 - string]
        notes += [(string, low), (string, high)] if upwards else [(string, high), (string, low)]
    return [f"{s}:{f}/8" for s, f in notes]


def lessons_exercises():
    """The two lesson exercises; the examples (lesson-*-beispiel.txt) are written by hand."""
    minor = [cell_bar(shape, i % 2 == 0) for i, (_, shape) in enumerate(A_MINOR_POSITIONS * 2)][:10]
    minor.append(["5:5/8", "5:3/8", "4:5/8", "4:2/8", "3:5/8", "3:2/8", "2:5/4"])
    write("lesson-moll-exercise", "Pentatonik-Zellen in Moll", 90, "clean", minor)
    major = [cell_bar(shape, i % 2 == 1) for i, (_, shape) in enumerate(C_MAJOR_POSITIONS * 2)][:10]
    write("lesson-dur-exercise", "Pentatonik-Zellen in Dur", 90, "clean", major)


if __name__ == "__main__":
    os.makedirs(NOTES, exist_ok=True)
    riffs()
    exercises()
    lessons_exercises()

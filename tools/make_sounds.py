# Synthesizes Varnoke's alert sounds: short sine tones with envelopes.
# Usage: python3 tools/make_sounds.py resources/share/sounds
# The key sound "<Umbrella>" is stored as the hidden file ".Umbrella.wav".
import math, random, struct, wave, sys
RATE = 22050
def write(name, samples):
    with wave.open(f"{sys.argv[1]}/{name}.wav", "wb") as w:
        w.setnchannels(1); w.setsampwidth(2); w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(max(-1, min(1, s)) * 32000)) for s in samples))
def tone(freqs, seconds, decay, volume=0.5, attack=0.005):
    n = int(RATE * seconds)
    out = []
    for i in range(n):
        t = i / RATE
        env = min(1, t / attack) * math.exp(-t * decay)
        out.append(volume * env * sum(a * math.sin(2 * math.pi * f * t) for f, a in freqs))
    return out
def sweep(f0, f1, seconds, volume=0.4):
    n = int(RATE * seconds); out = []; phase = 0
    for i in range(n):
        f = f0 + (f1 - f0) * i / n
        phase += 2 * math.pi * f / RATE
        env = math.sin(math.pi * i / n)
        out.append(volume * env * math.sin(phase))
    return out
write("Chime", tone([(1318.5, 0.6), (1975.5, 0.3), (2637, 0.1)], 0.9, 5))
write("Bell", tone([(880, 0.5), (1760 * 1.01, 0.25), (2640 * 1.02, 0.15)], 1.0, 4))
write("Bubble", sweep(300, 900, 0.12, 0.6))
write("Tick", tone([(2400, 0.8)], 0.06, 80, 0.6, 0.001))
write("Twin", tone([(1046.5, 0.5)], 0.12, 20) + tone([(1568, 0.5)], 0.25, 14))
random.seed(7)
write("Swoosh", [0.3 * math.sin(math.pi * i / 6615) * (random.random() * 2 - 1) for i in range(6615)])
# The ticker's key sound: a soft double tap, hidden from the menus.
write(".Umbrella", tone([(660, 0.5)], 0.05, 60, 0.5, 0.002) + [0.0] * 1100 + tone([(990, 0.5)], 0.07, 50, 0.5, 0.002))

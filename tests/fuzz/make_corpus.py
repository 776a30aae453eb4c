#!/usr/bin/env python3
"""Writes the fuzzers' seed corpus: small valid files of every format and encoding
the player reads, the awkward-but-legal and the broken ones the readers must turn
away cleanly, TextGrids, settings files and Internet shortcut files.

    tests/fuzz/make_corpus.py [OUTDIR]     (default: tests/fuzz/corpus)

The output is deterministic, so re-running it over the committed corpus changes
nothing unless this script changed.
"""
import math
import os
import shutil
import subprocess
import struct
import sys
import tempfile

OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def tone(n, amp=12000, period=37.0):
    return [int(amp * math.sin(2 * math.pi * i / period)) for i in range(n)]


def pcm16(samples, big=False):
    return struct.pack((">" if big else "<") + "%dh" % len(samples), *samples)


def pcm8_unsigned(samples):
    return bytes((s // 256 + 128) & 0xFF for s in samples)


def pcm8_signed(samples):
    return bytes((s // 256) & 0xFF for s in samples)


def mulaw(sample):
    # G.711 encoder, the inverse of the player's expansion.
    sign = 0x80 if sample < 0 else 0
    mag = min(abs(sample), 32635) + 132
    exp, mask = 7, 0x4000
    while exp > 0 and not (mag & mask):
        exp, mask = exp - 1, mask >> 1
    mant = (mag >> (exp + 3)) & 0x0F
    return (~(sign | (exp << 4) | mant)) & 0xFF


def extended(value):
    """80-bit IEEE extended, big-endian, as AIFF stores its rate."""
    if value == 0:
        return bytes(10)
    sign = 0x8000 if value < 0 else 0
    value = abs(value)
    m, e = math.frexp(value)          # value = m * 2**e, 0.5 <= m < 1
    exponent = e - 1 + 16383
    mant = int(m * (1 << 64))         # integer bit explicit at bit 63
    return struct.pack(">HQ", sign | exponent, mant)


# ---------------------------------------------------------------- WAV

def chunk(cid, body, length=None):
    return cid + struct.pack("<I", len(body) if length is None else length) + body


def fmt_body(tag, channels, rate, bits, extra=b""):
    align = (channels * max(bits // 8, 1)) & 0xFFFF
    return struct.pack("<HHIIHH", tag, channels, rate, (rate * align) & 0xFFFFFFFF, align, bits) + extra


def riff(*chunks, riff_len=None):
    body = b"WAVE" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body) if riff_len is None else riff_len) + body


def interleave16(channels):
    out = []
    for frame in zip(*channels):
        out.extend(frame)
    return pcm16(out)


def wav_files():
    s = tone(300)
    left, right = tone(200), tone(200, amp=-8000, period=23.0)
    f = {}
    f["wav_pcm8_mono"] = riff(chunk(b"fmt ", fmt_body(1, 1, 8000, 8)), chunk(b"data", pcm8_unsigned(s)))
    f["wav_pcm8_extremes"] = riff(chunk(b"fmt ", fmt_body(1, 1, 8000, 8)), chunk(b"data", bytes([0x00, 0x80, 0xFF, 0x7F] * 8)))
    f["wav_pcm16_mono"] = riff(chunk(b"fmt ", fmt_body(1, 1, 11025, 16)), chunk(b"data", pcm16(s)))
    f["wav_pcm16_stereo"] = riff(chunk(b"fmt ", fmt_body(1, 2, 22050, 16)), chunk(b"data", interleave16([left, right])))
    f["wav_pcm16_six_channels"] = riff(chunk(b"fmt ", fmt_body(1, 6, 48000, 16)), chunk(b"data", interleave16([left] * 6)[:1200]))
    f["wav_pcm24_mono"] = riff(chunk(b"fmt ", fmt_body(1, 1, 44100, 24)),
                               chunk(b"data", b"".join(struct.pack("<i", v * 256)[:3] for v in s[:150])))
    f["wav_pcm32_mono"] = riff(chunk(b"fmt ", fmt_body(1, 1, 44100, 32)),
                               chunk(b"data", b"".join(struct.pack("<i", v * 65536) for v in s[:120])))
    f["wav_mulaw_mono"] = riff(chunk(b"fmt ", fmt_body(7, 1, 8000, 8, b"\0\0"), ), chunk(b"data", bytes(mulaw(v) for v in s)))
    f["wav_mulaw_stereo"] = riff(chunk(b"fmt ", fmt_body(7, 2, 8000, 8, b"\0\0")),
                                 chunk(b"data", bytes(mulaw(v) for pair in zip(left, right) for v in pair)))
    f["wav_list_before_fmt"] = riff(chunk(b"LIST", b"INFOISFT\x05\0\0\0test\0"), chunk(b"fmt ", fmt_body(1, 1, 16000, 16)),
                                    chunk(b"data", pcm16(s[:100])))
    f["wav_odd_chunk_no_pad"] = riff(chunk(b"junk", b"abc"), chunk(b"fmt ", fmt_body(1, 1, 8000, 16)), chunk(b"data", pcm16(s[:64])))
    f["wav_fmt_40_bytes"] = riff(chunk(b"fmt ", fmt_body(1, 1, 8000, 16, b"\x16\0" + bytes(22))), chunk(b"data", pcm16(s[:64])))
    f["wav_fmt_14_bytes"] = riff(chunk(b"fmt ", fmt_body(1, 1, 8000, 16)[:14]), chunk(b"data", pcm16(s[:64])))
    f["wav_data_before_fmt"] = riff(chunk(b"data", pcm16(s[:64])), chunk(b"fmt ", fmt_body(1, 1, 8000, 16)))
    f["wav_no_fmt"] = riff(chunk(b"data", pcm16(s[:64])))
    f["wav_zero_channels"] = riff(chunk(b"fmt ", fmt_body(1, 0, 8000, 16)), chunk(b"data", pcm16(s[:64])))
    f["wav_zero_channels_8bit"] = riff(chunk(b"fmt ", fmt_body(1, 0, 8000, 8)), chunk(b"data", pcm8_unsigned(s[:64])))
    f["wav_float_tag_3"] = riff(chunk(b"fmt ", fmt_body(3, 1, 8000, 32)), chunk(b"data", bytes(64)))
    f["wav_data_at_990"] = riff(chunk(b"pad ", bytes(990 - 20)), chunk(b"fmt ", fmt_body(1, 1, 8000, 16)), chunk(b"data", pcm16(s[:32])))
    f["wav_data_at_1000"] = riff(chunk(b"fmt ", fmt_body(1, 1, 8000, 16)), chunk(b"pad ", bytes(1000 - 36 - 8)), chunk(b"data", pcm16(s[:32])))
    f["wav_data_short"] = riff(chunk(b"fmt ", fmt_body(1, 1, 8000, 16)), chunk(b"data", pcm16(s[:32]), length=1000))
    f["wav_data_huge_length"] = riff(chunk(b"fmt ", fmt_body(1, 1, 8000, 16)), chunk(b"data", pcm16(s[:32]), length=0xFFFFFFF0))
    f["wav_data_2gb"] = riff(chunk(b"fmt ", fmt_body(1, 1, 8000, 16)), chunk(b"data", pcm16(s[:32]), length=0x80000000))
    f["wav_skip_huge_length"] = riff(chunk(b"fmt ", fmt_body(1, 1, 8000, 16)), chunk(b"junk", b"", length=0xFFFFFFFF), chunk(b"data", pcm16(s[:32])))
    f["wav_empty_data"] = riff(chunk(b"fmt ", fmt_body(1, 1, 8000, 16)), chunk(b"data", b""))
    f["wav_one_byte_16bit"] = riff(chunk(b"fmt ", fmt_body(1, 1, 8000, 16)), chunk(b"data", b"\x01"))
    f["wav_rate_zero"] = riff(chunk(b"fmt ", fmt_body(1, 1, 0, 16)), chunk(b"data", pcm16(s[:64])))
    f["wav_rate_max"] = riff(chunk(b"fmt ", struct.pack("<HHIIHH", 1, 1, 0xFFFFFFFF, 0, 2, 16)), chunk(b"data", pcm16(s[:64])))
    for bits in (0, 7, 64, 255):
        f["wav_bits_%d" % bits] = riff(chunk(b"fmt ", fmt_body(1, 1, 8000, bits)), chunk(b"data", pcm16(s[:64])))
    # Five channels of 5 bits in one byte each (block align 5), 9 frames.
    f["wav_5ch_5bit_align5"] = riff(chunk(b"fmt ", fmt_body(1, 5, 8000, 5)),
                                    chunk(b"data", bytes(((i * 7) % 32) << 3 for i in range(45))))
    f["wav_channels_65535"] = riff(chunk(b"fmt ", fmt_body(1, 65535, 8000, 16)), chunk(b"data", pcm16(s[:64])))
    f["wav_header_only"] = b"RIFF\x04\0\0\0WAVE"
    f["wav_truncated_chunk_header"] = riff(chunk(b"fmt ", fmt_body(1, 1, 8000, 16)))[:-8] + b"da"
    return f


# ---------------------------------------------------------------- AIFF / AIFC

def bchunk(cid, body, length=None):
    return cid + struct.pack(">I", len(body) if length is None else length) + body


def comm_aiff(channels, frames, bits, rate_bytes):
    return bchunk(b"COMM", struct.pack(">hIH", channels, frames, bits) + rate_bytes)


def comm_aifc(channels, frames, bits, rate_bytes, comp=b"NONE", name=b"\x0enot compressed\0"):
    return bchunk(b"COMM", struct.pack(">hIH", channels, frames, bits) + rate_bytes + comp + name)


def ssnd(data, offset=0):
    return bchunk(b"SSND", struct.pack(">II", offset, 0) + data)


def form(ftype, *chunks):
    body = ftype + b"".join(chunks)
    return b"FORM" + struct.pack(">I", len(body)) + body


FVER = bchunk(b"FVER", struct.pack(">I", 0xA2805140))


def aiff_files():
    s = tone(250)
    r8k, r44k = extended(8000.0), extended(44100.0)
    f = {}
    f["aiff_pcm16"] = form(b"AIFF", comm_aiff(1, len(s), 16, r44k), ssnd(pcm16(s, big=True)))
    f["aiff_pcm8"] = form(b"AIFF", comm_aiff(1, len(s), 8, r8k), ssnd(pcm8_signed(s)))
    f["aiff_pcm8_extremes"] = form(b"AIFF", comm_aiff(1, 4, 8, r8k), ssnd(b"\x80\x7f\x00\xff"))
    f["aifc_none"] = form(b"AIFC", FVER, comm_aifc(1, len(s), 16, extended(22050.0)), ssnd(pcm16(s, big=True)))
    f["aifc_none_8bit"] = form(b"AIFC", FVER, comm_aifc(1, 100, 8, r8k), ssnd(pcm8_signed(s[:100])))
    f["aifc_sowt"] = form(b"AIFC", FVER, comm_aifc(1, 100, 16, r8k, comp=b"sowt"), ssnd(pcm16(s[:100])))
    f["aifc_no_fver"] = form(b"AIFC", comm_aifc(1, 100, 16, r8k), ssnd(pcm16(s[:100], big=True)))
    f["aiff_stereo"] = form(b"AIFF", comm_aiff(2, 100, 16, r8k), ssnd(pcm16(s[:200], big=True)))
    f["aiff_zero_channels"] = form(b"AIFF", comm_aiff(0, 100, 16, r8k), ssnd(pcm16(s[:100], big=True)))
    f["aiff_24bit"] = form(b"AIFF", comm_aiff(1, 50, 24, r8k), ssnd(bytes(150)))
    f["aiff_zero_bits"] = form(b"AIFF", comm_aiff(1, 50, 0, r8k), ssnd(bytes(100)))
    f["aiff_skipped_chunks"] = form(b"AIFF", bchunk(b"COMT", b"\0\0"), comm_aiff(1, 100, 16, r8k),
                                    bchunk(b"(c) ", b"2026 x"), bchunk(b"ANNO", b"note"), bchunk(b"MARK", b"\0\0"),
                                    ssnd(pcm16(s[:100], big=True)))
    f["aiff_skip_huge_length"] = form(b"AIFF", comm_aiff(1, 100, 16, r8k), bchunk(b"NAME", b"", length=0xFFFFFFFF),
                                      ssnd(pcm16(s[:100], big=True)))
    f["aiff_ssnd_before_comm"] = form(b"AIFF", ssnd(pcm16(s[:100], big=True)), comm_aiff(1, 100, 16, r8k))
    f["aiff_comm_length_22"] = form(b"AIFF", bchunk(b"COMM", comm_aiff(1, 100, 16, r8k)[8:] + b"\0\0\0\0"),
                                    ssnd(pcm16(s[:100], big=True)))
    f["aiff_too_many_chunks"] = form(b"AIFF", comm_aiff(1, 100, 16, r8k),
                                     *[bchunk(b"APPL", b"abcd") for _ in range(16)], ssnd(pcm16(s[:100], big=True)))
    f["aiff_rate_22254"] = form(b"AIFF", comm_aiff(1, 100, 16, bytes.fromhex("400DADDD1745D1745D17")),
                                ssnd(pcm16(s[:100], big=True)))
    f["aiff_rate_infinite"] = form(b"AIFF", comm_aiff(1, 100, 16, bytes.fromhex("7FFF8000000000000000")),
                                   ssnd(pcm16(s[:100], big=True)))
    f["aiff_rate_minus_infinite"] = form(b"AIFF", comm_aiff(1, 100, 16, bytes.fromhex("FFFF8000000000000000")),
                                         ssnd(pcm16(s[:100], big=True)))
    f["aiff_rate_nan"] = form(b"AIFF", comm_aiff(1, 100, 16, bytes.fromhex("7FFFC000000000000001")),
                              ssnd(pcm16(s[:100], big=True)))
    f["aiff_rate_1e30"] = form(b"AIFF", comm_aiff(1, 100, 16, extended(1e30)), ssnd(pcm16(s[:100], big=True)))
    f["aiff_rate_negative"] = form(b"AIFF", comm_aiff(1, 100, 16, extended(-8000.0)), ssnd(pcm16(s[:100], big=True)))
    f["aiff_rate_denormal"] = form(b"AIFF", comm_aiff(1, 100, 16, bytes.fromhex("00000000000000000001")),
                                   ssnd(pcm16(s[:100], big=True)))
    f["aiff_frames_short"] = form(b"AIFF", comm_aiff(1, 5000, 16, r8k), ssnd(pcm16(s[:100], big=True)))
    f["aiff_frames_2g"] = form(b"AIFF", comm_aiff(1, 0x7FFFFFFF, 16, r8k), ssnd(pcm16(s[:100], big=True)))
    f["aiff_frames_negative"] = form(b"AIFF", comm_aiff(1, 0x80000000, 8, r8k), ssnd(pcm8_signed(s[:100])))
    f["aiff_frames_all_ones"] = form(b"AIFF", comm_aiff(1, 0xFFFFFFFF, 16, r8k), ssnd(pcm16(s[:100], big=True)))
    f["aiff_no_ssnd"] = form(b"AIFF", comm_aiff(1, 100, 16, r8k))
    f["aiff_form_only"] = b"FORM\0\0\0\x04AIFF"
    return f


# ---------------------------------------------------------------- AU

def au(magic, offset, size, enc, rate, channels, data, annotation=b""):
    big = magic in (b".snd", b".sd\0")
    hdr = struct.pack((">" if big else "<") + "IIIII", offset, size, enc, rate, channels)
    return magic + hdr + annotation + data


def au_files():
    s = tone(240)
    f = {}
    for magic, tag in ((b".snd", "be"), (b".sd\0", "be_sd"), (b"dns.", "le"), (b"\0ds.", "le_ds")):
        big = tag.startswith("be")
        d16 = pcm16(s, big=big)
        f["au_%s_pcm16" % tag] = au(magic, 24, len(d16), 3, 8000, 1, d16)
        f["au_%s_mulaw" % tag] = au(magic, 24, len(s), 1, 8000, 1, bytes(mulaw(v) for v in s))
        f["au_%s_pcm8" % tag] = au(magic, 24, len(s), 2, 8000, 1, pcm8_signed(s))
    d = pcm16(s[:100], big=True)
    f["au_annotation_offset_32"] = au(b".snd", 32, len(d), 3, 16000, 1, d, annotation=b"hello\0\0\0")
    f["au_zero_channels"] = au(b".snd", 24, len(d), 3, 8000, 0, d)
    f["au_two_channels"] = au(b".snd", 24, len(d), 3, 8000, 2, d)
    f["au_zero_size"] = au(b".snd", 24, 0, 3, 8000, 1, d)
    f["au_encoding_5"] = au(b".snd", 24, len(d), 5, 8000, 1, d)
    f["au_offset_23"] = au(b".snd", 23, len(d), 3, 8000, 1, d)
    f["au_offset_past_end"] = au(b".snd", 100000, len(d), 3, 8000, 1, d)
    f["au_size_unknown_mulaw"] = au(b".snd", 24, 0xFFFFFFFF, 1, 8000, 1, bytes(mulaw(v) for v in s))
    f["au_size_unknown_pcm16"] = au(b".snd", 24, 0xFFFFFFFF, 3, 8000, 1, d)
    f["au_size_2g_pcm8"] = au(b"dns.", 24, 0x80000000, 2, 8000, 1, pcm8_signed(s))
    f["au_size_past_end_pcm16"] = au(b".snd", 24, 1000, 3, 8000, 1, d)
    f["au_size_past_end_pcm8"] = au(b".snd", 24, 1000, 2, 8000, 1, pcm8_signed(s[:50]))
    f["au_odd_size_pcm16"] = au(b".snd", 24, 7, 3, 8000, 1, d[:7])
    f["au_rate_huge"] = au(b".snd", 24, len(d), 3, 0xFFFFFFFF, 1, d)
    f["au_header_only"] = au(b".snd", 24, 0, 3, 8000, 1, b"")[:20]
    return f


# ---------------------------------------------------------------- fixed header

HEADER = 6480


def fixed(big, hlen, code, rate, dlen, data, total_header=HEADER):
    e = ">" if big else "<"
    hdr = bytearray(total_header)
    struct.pack_into(e + "ii", hdr, 0, hlen, code)
    struct.pack_into(e + "i", hdr, 16, rate)
    struct.pack_into(e + "i", hdr, 24, dlen)
    return bytes(hdr) + data


def fixed_files():
    s = tone(200)
    f = {}
    f["fixed_le"] = fixed(False, 6480, 10, 10000, 400, pcm16(s))
    f["fixed_le_6476"] = fixed(False, 6476, 10, 16000, 200, pcm16(s[:100]))
    f["fixed_be"] = fixed(True, 6480, 20, 10000, 400, pcm16(s, big=True))
    f["fixed_be_6476"] = fixed(True, 6476, 20, 20000, 200, pcm16(s[:100], big=True))
    f["fixed_be_code_10"] = fixed(True, 6480, 10, 10000, 400, pcm16(s, big=True))
    f["fixed_le_odd_length"] = fixed(False, 6480, 10, 10000, 401, pcm16(s) + b"\x01")
    f["fixed_le_negative_length"] = fixed(False, 6480, 10, 10000, -2, pcm16(s[:10]))
    f["fixed_le_length_2g"] = fixed(False, 6480, 10, 10000, 0x7FFFFFFF, pcm16(s[:10]))
    f["fixed_be_length_2g"] = fixed(True, 6480, 20, 10000, 0x7FFFFFFE, pcm16(s[:10], big=True))
    f["fixed_le_data_short"] = fixed(False, 6480, 10, 10000, 4000, pcm16(s[:10]))
    f["fixed_le_rate_negative"] = fixed(False, 6480, 10, -1, 40, pcm16(s[:20]))
    # A short file passes the check when its first field is its own length.
    f["fixed_le_short_file"] = fixed(False, 100, 10, 8000, 50, b"", total_header=100)
    f["fixed_le_short_file_minus4"] = fixed(False, 60, 10, 8000, 50, b"", total_header=64)
    return f


# ---------------------------------------------------------------- 80-bit extended

def extended_seeds():
    f = {}
    for name, v in (("44100", 44100.0), ("8000", 8000.0), ("22050", 22050.0), ("one", 1.0),
                    ("minus_8000", -8000.0), ("1e300", 1e300), ("1e4000_overflow", None)):
        f["ext_" + name] = extended(v) if v is not None else bytes.fromhex("4CF08000000000000000")
    f["ext_zero"] = bytes(10)
    f["ext_minus_zero"] = b"\x80" + bytes(9)
    f["ext_infinity"] = bytes.fromhex("7FFF8000000000000000")
    f["ext_minus_infinity"] = bytes.fromhex("FFFF8000000000000000")
    f["ext_nan_pattern"] = bytes.fromhex("7FFFC000000000000001")
    f["ext_denormal"] = bytes.fromhex("00000000000000000001")
    f["ext_unnormal"] = bytes.fromhex("400D2B1100000000FFFF")
    f["ext_smallest_normal"] = bytes.fromhex("00018000000000000000")
    f["ext_double_subnormal_range"] = bytes.fromhex("3BCD8000000000000001")
    f["ext_22254_545"] = bytes.fromhex("400DADDD1745D1745D17")
    return f


# ---------------------------------------------------------------- settings files

def ini_files():
    f = {}
    f["ini_home"] = b"[HomeLocal]\nHomeAddressTop=file:///home/user/site/index.htm\n"
    f["ini_crlf"] = b"[HomeLocal]\r\nHomeAddressTop=http://www.velmora.example/\r\n"
    f["ini_no_final_newline"] = b"[HomeLocal]\nHomeAddressTop=a=b=c"
    f["ini_blanks"] = b"[ HomeLocal ]\n HomeAddressTop = x \n   \n[[HomeLocal]]\nHomeAddressTop=y\n"
    f["ini_before_header"] = b"top=1\nnoequals\n=\n;comment\n#hash\n[K]\n"
    f["ini_duplicates"] = b"[A]\nv=1\n[B]\nv=2\n[A]\nv=3\nw=4\nv=5\n"
    f["ini_header_only"] = b"[Empty]\n\n\n[Other]\n"
    f["ini_brackets"] = b"[\n]\n[]\n[[[]]]\n[a]b]\nx=]\n"
    f["ini_long_line"] = b"[L]\nlong=" + b"x" * 3000 + b"\nafter=1\n"
    f["ini_line_2047"] = b"[L]\n" + b"k=" + b"y" * 2045 + b"\nnext=2\n"
    f["ini_nul_bytes"] = b"[N\0ul]\nk\0=v\0w\n\0\n"
    f["ini_cr_only"] = b"[Mac]\rk=v\rj=w\r"
    f["ini_empty"] = b""
    f["ini_utf8"] = "[Heim]\nAdresse=file:///tmp/Übung/index.htm\n".encode("utf-8")
    return f


def url_files():
    f = {}
    f["url_plain"] = b"[InternetShortcut]\nURL=http://www.velmora.example/\n"
    f["url_crlf_windows"] = (b"[DEFAULT]\r\nBASEURL=http://a.example/\r\n[InternetShortcut]\r\n"
                             b"URL=http://a.example/sound.wav\r\nIconIndex=0\r\nHotKey=0\r\n")
    f["url_no_url_key"] = b"[InternetShortcut]\nIconFile=x.ico\n"
    f["url_other_section"] = b"[Other]\nURL=http://wrong.example/\n[InternetShortcut]\nurl=lower\n"
    f["url_spaces"] = b"[ InternetShortcut ]\n  URL  =  http://spaced.example/  \n"
    f["url_duplicate"] = b"[InternetShortcut]\nURL=first\nURL=second\n"
    f["url_long"] = b"[InternetShortcut]\nURL=http://long.example/" + b"a" * 3000 + b"\n"
    f["url_bom"] = b"\xef\xbb\xbf[InternetShortcut]\nURL=http://bom.example/\n"
    f["url_empty"] = b""
    f["url_binary"] = bytes(range(256))
    return f


# ---------------------------------------------------------------- analysis

def pitch_seeds():
    """First byte: rate selector (see the harness), then 16-bit samples."""
    f = {}
    rates = {5: 8000, 6: 11025, 9: 44100}
    for sel, rate in rates.items():
        n = min(rate // 4, 4000)
        # A buzzy 120 Hz voice: a sawtooth-like sum of harmonics.
        s = [int(6000 * sum(math.sin(2 * math.pi * 120 * k * i / rate) / k for k in range(1, 8))) for i in range(n)]
        f["pitch_voice_%d" % rate] = bytes([sel]) + pcm16(s)
    f["pitch_silence_8000"] = bytes([5]) + bytes(2 * 1000)
    f["pitch_full_scale_11025"] = bytes([6]) + pcm16([32767, -32768] * 600)
    f["pitch_raw_rate_7"] = bytes([0xF0]) + struct.pack("<i", 7) + pcm16(tone(600))
    f["pitch_540_at_1000"] = bytes([4]) + pcm16(tone(540))
    return f


def encoded(command, wav):
    """The bytes another program (ffmpeg, flac, sox) makes of a WAV file."""
    with tempfile.TemporaryDirectory() as work:
        src = os.path.join(work, "in.wav")
        with open(src, "wb") as fh:
            fh.write(wav)
        out = os.path.join(work, "out." + command[0])
        subprocess.run(command[1].format(src=src, out=out), shell=True, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(out, "rb") as fh:
            return fh.read()


def sndfile_files():
    """Today's corpus formats, small, made by other programs; each also cut in
    half and with garbage after its first 200 bytes (a valid header, then noise)."""
    mono = riff(chunk(b"fmt ", fmt_body(1, 1, 8000, 16)), chunk(b"data", pcm16(tone(2000))))
    stereo = riff(chunk(b"fmt ", fmt_body(1, 2, 8000, 16)), chunk(b"data", interleave16([tone(1500), tone(1500, amp=-8000)])))
    kinds = {
        "flac": ("flac", "flac -s -o {out} {src}", mono),
        "flac_stereo": ("flac", "flac -s -o {out} {src}", stereo),
        "ogg": ("ogg", "ffmpeg -v error -i {src} -c:a libvorbis -fflags +bitexact {out}", mono),
        "opus": ("opus", "ffmpeg -v error -i {src} -c:a libopus -fflags +bitexact {out}", mono),
        "mp3": ("mp3", "ffmpeg -v error -i {src} -c:a libmp3lame -fflags +bitexact {out}", mono),
        "mp3_id3": ("mp3", "ffmpeg -v error -i {src} -c:a libmp3lame -metadata title=seed {out}", mono),
        "caf": ("caf", "ffmpeg -v error -i {src} -fflags +bitexact {out}", stereo),
        "w64": ("w64", "ffmpeg -v error -i {src} -fflags +bitexact {out}", stereo),
        "rf64": ("wav", "ffmpeg -v error -i {src} -rf64 always -fflags +bitexact {out}", stereo),
        "sphere": ("sph", "sox -D {src} {out}", stereo),
        "wav_float": ("wav", "sox -D {src} -e floating-point -b 32 {out}", mono),
        "wav_ima_adpcm": ("wav", "sox -D {src} -e ima-adpcm {out}", mono),
    }
    f = {}
    noise = bytes((i * 151 + 7) & 0xFF for i in range(4000))
    for name, (ext, command, wav) in kinds.items():
        data = encoded((ext, command), wav)
        f[name] = data
        f[name + "_cut_half"] = data[:len(data) // 2]
        f[name + "_garbage_after_header"] = data[:200] + noise
    f["sphere_shorten"] = (b"NIST_1A\n   1024\nsample_count -i 2000\nsample_n_bytes -i 2\nchannel_count -i 1\n"
                           b"sample_rate -i 8000\nsample_coding -s26 pcm,embedded-shorten-v2.00\nend_head\n").ljust(1024, b" ") + noise
    return f


# ---------------------------------------------------------------- TextGrids

TG_LONG = """File type = "ooTextFile"
Object class = "TextGrid"

xmin = 0 
xmax = 2.5 
tiers? <exists> 
size = 2 
item []: 
    item [1]:
        class = "IntervalTier" 
        name = "words" 
        xmin = 0 
        xmax = 2.5 
        intervals: size = 3 
        intervals [1]:
            xmin = 0 
            xmax = 0.30000000000000004 
            text = "" 
        intervals [2]:
            xmin = 0.30000000000000004 
            xmax = 1.2 
            text = "h\u00e9llo ""q"" \u0283\u026ap" 
        intervals [3]:
            xmin = 1.2 
            xmax = 2.5 
            text = "two
lines" 
    item [2]:
        class = "TextTier" 
        name = "tones" 
        xmin = 0 
        xmax = 2.5 
        points: size = 2 
        points [1]:
            number = 0.7 
            mark = "H*" 
        points [2]:
            number = 1.9 
            mark = "" 
"""


def tg_short(body):
    return ('File type = "ooTextFile"\nObject class = "TextGrid"\n\n' + body).encode("utf-8")


def textgrid_files():
    """The forms and encodings the reader takes, the hand-written liberties it
    allows, and the broken files it must turn away with a line."""
    f = {}
    f["tg_long_utf8"] = TG_LONG.encode("utf-8")
    f["tg_long_utf8_bom"] = b"\xef\xbb\xbf" + TG_LONG.encode("utf-8")
    f["tg_long_utf16be"] = b"\xfe\xff" + TG_LONG.encode("utf-16-be")
    f["tg_long_utf16le"] = b"\xff\xfe" + TG_LONG.encode("utf-16-le")
    f["tg_long_crlf"] = TG_LONG.replace("\n", "\r\n").encode("utf-8")
    f["tg_short"] = tg_short('0\n2.5\n<exists>\n2\n"IntervalTier"\n"w"\n0\n2.5\n2\n0\n1\n"a"\n1\n2.5\n"b"\n'
                             '"TextTier"\n"t"\n0\n2.5\n1\n1.5\n"H*"\n')
    f["tg_short_old_header"] = f["tg_short"].replace(b'"ooTextFile"', b'"ooTextFile short"')
    f["tg_latin1"] = tg_short('0 1 <exists> 1 "IntervalTier" "caf\u00e9" 0 1 1 0 1 "na\u00efve"\n').decode("utf-8").encode("latin-1")
    f["tg_hand_written"] = tg_short('! grid\n0s 4s <exists> 1 ! one tier "x"\n"IntervalTier" "a"+0 4 3 0 50%"x" 50% 0x2 "" 2 16/4 "y"\n')
    f["tg_no_tiers"] = tg_short("0 1 <exists> 0\n")
    f["tg_absent"] = tg_short("0 1 <absent>\n")
    f["tg_gap"] = tg_short('0 1 <exists> 1 "IntervalTier" "w" 0 1 2\n0 0.4 ""\n0.5 1 ""\n')
    f["tg_points_unordered"] = tg_short('0 1 <exists> 1 "TextTier" "t" 0 1 2\n0.6 ""\n0.5 ""\n')
    f["tg_huge_count"] = tg_short('0 1 <exists> 1 "IntervalTier" "w" 0 1 2147483647\n0 1 ""\n')
    f["tg_cut"] = TG_LONG.encode("utf-8")[:700]
    f["tg_unclosed_text"] = tg_short('0 1 <exists> 1 "IntervalTier" "w\n0 1 1 0 1 ""\n')
    return f


def main():
    groups = {
        "sndfile": sndfile_files(),
        "audio": {**wav_files(), **aiff_files(), **au_files(), **fixed_files()},
        "extended": extended_seeds(),
        "ini": ini_files(),
        "url": url_files(),
        "pitch": pitch_seeds(),
        "textgrid": textgrid_files(),
    }
    for group, files in groups.items():
        d = os.path.join(OUT, group)
        if os.path.isdir(d):
            shutil.rmtree(d)
        os.makedirs(d)
        for name, data in files.items():
            with open(os.path.join(d, name), "wb") as fh:
                fh.write(data)
    total = sum(len(v) for g in groups.values() for v in g.values())
    print("corpus: %d files, %d bytes in %s" % (sum(len(g) for g in groups.values()), total, OUT))


if __name__ == "__main__":
    main()

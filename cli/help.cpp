#include <cstdio>

#include "commands.h"

namespace ravelin {

void PrintHelp() {
  std::fputs("Usage:\n"
             "  ravelin-cli deconvolve --tone SWEEP [options] INPUT...\n"
             "  ravelin-cli sweep OUT.wav [options]\n"
             "\n"
             "deconvolve: turns each recording into an impulse response by the test tone.\n"
             "  INPUT              a recording, or a folder scanned for *.wav, *.aif, *.aiff\n"
             "                     (sorted by name, case-insensitively)\n"
             "  --tone SWEEP       the test tone file (required)\n"
             "  --out DIR          output root; each output mirrors the recording's path\n"
             "                     relative to the folder it was found in (default: the\n"
             "                     recording's own folder)\n"
             "  --bits B           16, 24 (default), 32 or float\n"
             "  --reversed         reversed technique (correlation and +6 dB/octave tilt)\n"
             "  --min-phase        minimum-phase transform of the response\n"
             "  --volume DB        fixed gain in dB\n"
             "  --normalize        normalise the peak to -0.3 dBFS (not with --volume)\n"
             "  --silence SEC      silence kept ahead of the impulse, in seconds\n"
             "  --low-cut HZ       low-cut corner (at least 0.1 Hz)\n"
             "  --high-cut HZ      high-cut corner (above the low cut)\n"
             "  --slope S          cut slope in dB/octave: 12 (default), 24, 36, 48, 60,\n"
             "                     72, 84, 96, or max (brick wall)\n"
             "  --tone-channel N   deconvolve every recording channel by test tone channel\n"
             "                     N (default: channel c by channel c, the last channel\n"
             "                     for the rest, and a channel without the sweep by the\n"
             "                     first channel that carries it)\n"
             "  --no-suffix        give each output the recording's own name (an output\n"
             "                     beside its recording replaces it)\n"
             "  --reprocess        also process files this program wrote itself\n"
             "  --recurse          scan subfolders of folder inputs too\n"
             "  --stop-on-error    stop at the first file that fails (default: go on)\n"
             "\n"
             "sweep: writes an exponential sine sweep from 32 Hz to half the sample rate.\n"
             "  --rate HZ          sample rate (default 44100)\n"
             "  --bits B           16, 24 (default), 32 or float\n"
             "  --channels C       mono (default), stereo, left or right (stereo file with\n"
             "                     the sweep on one side)\n"
             "  --duration SEC     duration in seconds (default 3.0)\n"
             "  --fade             raised-cosine fades at both ends\n"
             "\n"
             "Outputs are complete when they appear: each is written under a hidden\n"
             "temporary name in its folder and renamed into place at the end. A file that\n"
             "this program did not write is never replaced (the recording itself with\n"
             "--no-suffix excepted), nor an output written earlier in the same command.\n"
             "\n"
             "Progress goes to stderr. Exit status: 0 when every file was processed or\n"
             "skipped, 1 when a file failed, 2 for usage or validation errors.\n",
             stdout);
}

} // namespace ravelin

# Sourced: what this machine can run.

# Whether the machine runs 32-bit x86 code: some kernels run none (no IA-32
# emulation), and then Wine's 32-bit loader does not start. Wine's 64-bit
# loader still runs 64-bit Windows programs there.
machine_runs_32bit_code() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

#pragma once
// The next start after a Downloads move was cut short (the process ended
// half way): the move's part files go, and the move is taken back, or
// finished when every setting already points at its target. Run by the
// window and by orvane as they start.
namespace disk {

// For each move under way in the journal that this account made: its part
// files in the target go; when its settings row shows every setting at the
// target, the sources of its copies go (each while it is still the file
// that was copied, and its copy still the move's); otherwise the settings
// written are put back from that row (the row stays, for the user to undo,
// when one cannot be), and its copies and folders are taken back. Then its
// record ends. Everything is deleted through the checked deletion. Nothing
// is done while another holds the operation lock: its own move may be under
// way, and the next start sees to it.
void RecoverDownloadMoves();

}  // namespace disk

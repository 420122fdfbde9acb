// qrx's simulated card readers: a stand-in for the line of up to twelve readers, written
// without Qt and without the host's code so that it checks the host's frames on its own terms.
//
//     sim::SimLine line(4);                 // readers 1..4 on a fresh pseudo-terminal
//     line.makeLink("COM2");                // ./COM2 -> /dev/pts/N for the host to open
//     line.setPacing(false);                // no wire time, no adapter: all goes through at once
//     line.setAdapterLatencyMs(0);          // (paced) answers reach the host as they come off the wire
//     line.setLineFaults({0, 0, 300, 10});  // every 10th request to a present reader is lost
//     line.withReader(1, [](sim::Reader& r) { r.addRecords(700); });
//     line.withReader(2, [](sim::Reader& r) {
//         r.addFault(sim::Fault::badChecksum().on("C1").once().then(sim::Fault::silent()));
//         r.addFault(sim::Fault::loseAnswer().on("C5").once()); // the punch moves on, unseen
//         r.addFault(sim::Fault::flipBit(3, 0x02).on("C5").once()); // a record answer reads "C7"
//         r.setBatchCopies(sim::BatchCopies::Whole);  // every "C0" starts at the first record
//     });
//     line.withReader(3, [](sim::Reader& r) { r.loseMemory(); });  // power cut: "N0" unanswered
//     ... the host talks to the line ...
//     line.waitForFrames(1, 3, 2000);       // reader 1 has received three frames
//     line.frames(1);                       // what it received, decoded and raw, and answered
//     line.wireBytes();                     // every byte the host wrote
//     line.clearLogs();
//     line.setKeeper([](const std::vector<sim::Reader>& readers) {  // after every request taken
//         sim::saveState("readers.state", sim::captureState(readers, 4, 1));
//     });
//
// What each reader answers:
//   A0  "A0" + status byte ('C')                 B0  "B0" + 8-byte clock block
//   B1  sets the clock, answers "B0" + clock     B3  stores the 48-byte table, answers "B2" + table
//   C0  ack; the upload starts at the first record not yet uploaded (with BatchCopies::Whole
//       at the first record stored)
//   C1  "C1" + next record, or "C6" when none is left (after "C6" the records count as uploaded);
//       a record counts as delivered when the next "C1" comes, so "N0" can ask for it again
//   C2  no answer; confirmed records count as uploaded, the rest stay
//   C3  erases all records, ack (numbering again from 000001 with setDeleteRenumbers)
//   C4  "C4" + records the next batch hands out (6 BCD digits)
//   C5  "C5" + next on-line punch, or "C7"; the punch counts as delivered at the next "C5"
//   D0  ack, opens a download                   D1  stores a 9-byte customer, ack (none to a broadcast)
//   D2  ack, or "D9" when a "D1" since "D0" found the table full (capacity)
//   D3  erases all customers, ack               D4  "D4" + 9-byte customer, or "N1"
//   D5  adds, ack; "N2" when held or full       D6  deletes by the first six digits, ack; "N3" when none
//   D7  ack, "N4" when not held                 D8  "D8" + customers held (6 BCD digits)
//   E0  meal counts reset, ack                  E1  meal data announced, ack
//   E2  stores a 49-byte meal line, ack         N0  repeats the last answer
// Anything else, a request with the wrong number of data bytes, a bad checksum, a frame to an
// absent reader and stray bytes are logged and not answered. A broadcast (address 153) reaches
// every present reader and none answers. The fixed-amount record 02 23 50 <id> 00 <96 bytes> FF
// goes to reader <id>'s fixedAmounts().
#pragma once

#include "SimCodec.h"
#include "SimFault.h"
#include "SimLine.h"
#include "SimLineFaults.h"
#include "SimPunch.h"
#include "SimPunchLog.h"
#include "SimReader.h"
#include "SimState.h"

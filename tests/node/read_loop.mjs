// Reads a database with mdb-reader over and over, every table, from the file's bytes as they
// are at that moment, while another program writes it; stops once STOP exists. Prints
// {"reads": n, "rows": total rows of the last read, "errors": ["read k: message", ...]}.
// Usage: node read_loop.mjs FILE STOP
import { existsSync, readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const [file, stop] = process.argv.slice(2);
let reads = 0;
let rows = 0;
const errors = [];
while (!existsSync(stop)) {
  ++reads;
  try {
    const reader = new MDBReader(readFileSync(file));
    rows = 0;
    for (const name of reader.getTableNames()) rows += reader.getTable(name).getData().length;
  } catch (e) {
    errors.push(`read ${reads}: ${e.message}`);
  }
}
process.stdout.write(JSON.stringify({ reads, rows, errors }) + "\n");

// Runs the examples node-oracledb ships in its npm package, each in Thick mode
// against a fresh ociemu database, and checks that the share that passes reaches
// the goal. An example passes when it exits with 0 and writes nothing to stderr
// (the examples report their errors there and still exit with 0).
// Usage: node examples.js <oracle home> <database file>
'use strict';
const fs = require('fs');
const path = require('path');
const { spawnSync } = require('child_process');

const [home, database] = process.argv.slice(2);
const goal = 0.85;

// Examples an embedded stand-in cannot serve, by group (matched on the file name).
const excluded = [
  { pattern: /^soda/i, why: 'SODA document collections need the database\'s JSON document store' },
  { pattern: /^(aq|dbms_aq)/i, why: 'Advanced Queuing needs the database\'s queues' },
  { pattern: /^cqn/i, why: 'continuous query notification needs the server calling the client back' },
  { pattern: /shard/i, why: 'sharding needs a sharded database' },
  { pattern: /(dba|v\$|sessionkill|tracing)/i, why: 'DBA views and session administration' },
  { pattern: /(cloud|oci_?auth|token|wallet|azure)/i, why: 'Oracle Cloud and OCI authentication' },
  { pattern: /(tns|ezconnect|drcp|proxy)/i, why: 'network and listener configuration' },
  { pattern: /(extproc|java|vector)/i, why: 'server features outside SQL and PL/SQL (extproc, Java, vectors)' },
];

function exclusion(file) {
  return excluded.find((group) => group.pattern.test(file));
}

function freshDatabase() {
  for (const suffix of ['', '-wal', '-shm']) fs.rmSync(database + suffix, { force: true });
}

function runExample(file) {
  freshDatabase();
  const env = {
    ...process.env,
    NODE_ORACLEDB_DRIVER_MODE: 'thick',
    NODE_ORACLEDB_USER: 'SCOTT',
    NODE_ORACLEDB_PASSWORD: 'tiger',
    NODE_ORACLEDB_CONNECTIONSTRING: database,
    LD_LIBRARY_PATH: `${home}/lib${process.env.LD_LIBRARY_PATH ? ':' + process.env.LD_LIBRARY_PATH : ''}`,
  };
  return spawnSync(process.execPath, [file], { env, encoding: 'utf8', timeout: 120000 });
}

function main() {
  const folder = path.join(path.dirname(require.resolve('oracledb/package.json')), 'examples');
  const files = fs.readdirSync(folder).filter((f) => f.endsWith('.js') && f !== 'dbconfig.js').sort();
  let servable = 0, passed = 0;
  for (const file of files) {
    const group = exclusion(file);
    if (group) {
      console.log(`excluded ${file}: ${group.why}`);
      continue;
    }
    servable++;
    const run = runExample(path.join(folder, file));
    const ok = run.status === 0 && run.stderr.trim() === '' && !/Running in thin mode/.test(run.stdout);
    if (ok) passed++;
    console.log(`${ok ? 'ok' : 'FAILED'} ${file}`);
    if (!ok) console.log(`  exit ${run.status}\n  stdout: ${run.stdout}\n  stderr: ${run.stderr}`);
  }
  const share = servable ? passed / servable : 0;
  console.log(`examples: ${passed} of ${servable} servable passed (${(100 * share).toFixed(0)}%), ` +
              `${files.length - servable} excluded, goal ${100 * goal}%`);
  if (servable === 0 || share < goal) process.exit(1);
}

main();

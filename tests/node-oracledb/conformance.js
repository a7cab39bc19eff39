// node-oracledb in Thick mode against ociemu: an independently written OCI
// client (ODPI-C inside) connects, queries, binds, changes data, runs
// executeMany, PL/SQL and pools. Usage: node conformance.js <oracle home> <database file>
'use strict';
const assert = require('assert');
const oracledb = require('oracledb');

const [home, database] = process.argv.slice(2);
const account = { user: 'SCOTT', password: 'tiger', connectString: database };
const results = { passed: 0, failed: 0, skipped: 0 };

async function check(name, body) {
  try {
    const outcome = await body();
    if (outcome === 'skip') return;
    results.passed++;
    console.log(`ok ${name}`);
  } catch (e) {
    results.failed++;
    console.log(`FAILED ${name}: ${e.stack || e.message}`);
  }
}

function skip(name, why) {
  results.skipped++;
  console.log(`skipped ${name}: ${why}`);
  return 'skip';
}

async function main() {
  oracledb.initOracleClient({ libDir: `${home}/lib` });
  oracledb.outFormat = oracledb.OUT_FORMAT_ARRAY;
  const conn = await oracledb.getConnection(account);

  await check('client and server versions', async () => {
    assert.strictEqual(Math.floor(oracledb.oracleClientVersion / 100000000), 19);
    assert.match(conn.oracleServerVersionString, /^19\./);
  });

  await check('query with a bind and column metadata', async () => {
    const r = await conn.execute('select :n + 1 as x, user as who from dual', { n: 41 });
    assert.deepStrictEqual(r.rows, [[42, 'SCOTT']]);
    assert.deepStrictEqual(r.metaData.map((m) => m.name), ['X', 'WHO']);
    assert.strictEqual(r.metaData[0].dbType, oracledb.DB_TYPE_NUMBER);
  });

  await check('DML with binds, row counts, rollback and commit', async () => {
    await conn.execute('create table node_t (id number(5) primary key, name varchar2(20), born date)');
    let r = await conn.execute('insert into node_t values (:id, :name, :born)',
      { id: 1, name: 'one', born: new Date(2001, 1, 3) });
    assert.strictEqual(r.rowsAffected, 1);
    await conn.rollback();
    r = await conn.execute('select count(*) from node_t');
    assert.strictEqual(r.rows[0][0], 0);
    await conn.execute('insert into node_t values (:1, :2, :3)', [2, 'two', new Date(2002, 2, 4)]);
    await conn.commit();
    r = await conn.execute('update node_t set name = upper(name) where id = :id', { id: 2 }, { autoCommit: true });
    assert.strictEqual(r.rowsAffected, 1);
    r = await conn.execute('select name, born from node_t where id = 2');
    assert.strictEqual(r.rows[0][0], 'TWO');
    assert.strictEqual(r.rows[0][1].getFullYear(), 2002);
  });

  await check('an Oracle error reaches the caller with its number', async () => {
    await assert.rejects(conn.execute('insert into node_t values (2, \'dup\', null)'),
      (e) => e.errorNum === 1 && /ORA-00001/.test(e.message));
    await assert.rejects(conn.execute('select * from no_such_table'), (e) => e.errorNum === 942);
  });

  await check('executeMany inserts every row', async () => {
    const rows = [];
    for (let i = 10; i < 110; i++) rows.push({ id: i, name: `n${i}` });
    const r = await conn.executeMany('insert into node_t (id, name) values (:id, :name)', rows,
      { bindDefs: { id: { type: oracledb.NUMBER }, name: { type: oracledb.STRING, maxSize: 20 } } });
    assert.strictEqual(r.rowsAffected, 100);
    const count = await conn.execute('select count(*), sum(id) from node_t where id >= 10');
    assert.deepStrictEqual(count.rows[0], [100, 5950]);
    await conn.commit();
  });

  await check('result set fetched in pieces', async () => {
    const r = await conn.execute('select id from node_t where id >= 10 order by id', [],
      { resultSet: true, fetchArraySize: 7 });
    let seen = 0, previous = 9, batch;
    while ((batch = await r.resultSet.getRows(13)).length > 0) {
      for (const [id] of batch) {
        assert.strictEqual(id, previous + 1);
        previous = id;
        seen++;
      }
    }
    await r.resultSet.close();
    assert.strictEqual(seen, 100);
  });

  await check('DML RETURNING INTO an OUT bind', async () => {
    const r = await conn.execute('update node_t set name = \'ret\' where id = 10 returning id into :out',
      { out: { dir: oracledb.BIND_OUT, type: oracledb.NUMBER } });
    assert.deepStrictEqual(r.outBinds.out, [10]);
    await conn.rollback();
  });

  await check('a cached statement bound by name, then by position, writes only into the current binds', async () => {
    const block = 'begin :a := :b * 2; end;';
    const dml = 'update node_t set name = :name where id = :id returning id, name into :rid, :rname';
    for (let i = 0; i < 25; i++) {
      const named = await conn.execute(block, { a: { dir: oracledb.BIND_OUT, type: oracledb.NUMBER }, b: i });
      assert.strictEqual(named.outBinds.a, 2 * i);
      const positional = await conn.execute(block, [{ dir: oracledb.BIND_OUT, type: oracledb.NUMBER }, i + 1]);
      assert.deepStrictEqual(positional.outBinds, [2 * (i + 1)]);
      const rows = await conn.execute(dml, { name: `v${i}`, id: 11,
        rid: { dir: oracledb.BIND_OUT, type: oracledb.NUMBER }, rname: { dir: oracledb.BIND_OUT, type: oracledb.STRING } });
      assert.deepStrictEqual([rows.outBinds.rid, rows.outBinds.rname], [[11], [`v${i}`]]);
      const byPosition = await conn.execute(dml, [`p${i}`, 12, { dir: oracledb.BIND_OUT, type: oracledb.NUMBER },
        { dir: oracledb.BIND_OUT, type: oracledb.STRING }]);
      assert.deepStrictEqual(byPosition.outBinds, [[12], [`p${i}`]]);
    }
    await conn.rollback();
  });

  await check('executeMany with batchErrors keeps going and reports each failing row', async () => {
    const rows = [[200, 'a'], [10, 'duplicate'], [201, 'b'], [11, 'duplicate too'], [202, 'c']];
    const r = await conn.executeMany('insert into node_t (id, name) values (:1, :2)', rows,
      { batchErrors: true, bindDefs: [{ type: oracledb.NUMBER }, { type: oracledb.STRING, maxSize: 20 }] });
    assert.strictEqual(r.rowsAffected, 3);
    assert.deepStrictEqual(r.batchErrors.map((e) => [e.offset, e.errorNum]), [[1, 1], [3, 1]]);
    const count = await conn.execute('select count(*) from node_t where id between 200 and 202');
    assert.strictEqual(count.rows[0][0], 3);
    await conn.rollback();
  });

  await check('statement information parses without running the statement', async () => {
    const info = await conn.getStatementInfo('insert into node_t (id, name) values (:id, :name)');
    assert.strictEqual(info.statementType, oracledb.STMT_TYPE_INSERT);
    assert.deepStrictEqual(info.bindNames, ['ID', 'NAME']);
    const count = await conn.execute('select count(*) from node_t where id is null');
    assert.strictEqual(count.rows[0][0], 0);
  });

  await check('NUMBER keeps 38 digits through binds, storage, SUM and fetches', async () => {
    await conn.execute('create table node_big (id number, v number)');
    const big = '12345678901234567890123', nines = '99999999999999999999999999999999999999';
    await conn.executeMany('insert into node_big values (:1, :2)', [[1, big], [2, nines], [3, '-0.000000000000000000012345']],
      { bindDefs: [{ type: oracledb.NUMBER }, { type: oracledb.STRING, maxSize: 50 }] });
    const r = await conn.execute('select v from node_big order by id', [], { fetchInfo: { V: { type: oracledb.STRING } } });
    assert.deepStrictEqual(r.rows.map((row) => row[0]), [big, nines, '-.000000000000000000012345']);
    const found = await conn.execute(`select id from node_big where v = ${big}`);
    assert.deepStrictEqual(found.rows, [[1]]);
    const sum = await conn.execute('select sum(v) as s from (select v from node_big where id = 1 ' +
      'union all select v from node_big where id = 1)', [], { fetchInfo: { S: { type: oracledb.STRING } } });
    assert.strictEqual(sum.rows[0][0], '24691357802469135780246');
    await conn.execute('drop table node_big');
  });

  await check('PL/SQL OUT binds', async () => {
    let r;
    try {
      r = await conn.execute('begin :out := :inp * 2; end;',
        { inp: 21, out: { dir: oracledb.BIND_OUT, type: oracledb.NUMBER } });
    } catch (e) {
      if (e.errorNum === 3001) return skip('PL/SQL OUT binds', 'this ociemu runs no PL/SQL blocks yet (ORA-03001)');
      throw e;
    }
    assert.strictEqual(r.outBinds.out, 42);
  });

  await check('DML RETURNING INTO OUT binds given by position', async () => {
    const r = await conn.execute('update node_t set name = :1 where id = :2 returning id, name into :3, :4',
      ['pos', 10, { dir: oracledb.BIND_OUT, type: oracledb.NUMBER },
       { dir: oracledb.BIND_OUT, type: oracledb.STRING, maxSize: 20 }]);
    assert.deepStrictEqual(r.outBinds, [[10], ['pos']]);
    await conn.rollback();
  });

  await check('outer joins written with (+) and DML through a view over a LEFT JOIN', async () => {
    await conn.execute('create table node_unit (unit number(3) primary key, title varchar2(10))');
    await conn.execute('create table node_staff (id number(3) primary key, unit number(3), pay number)');
    await conn.execute("insert into node_unit values (1, 'OPS')");
    await conn.execute('insert into node_staff values (10, 1, 100)');
    await conn.execute('insert into node_staff values (20, null, 200)');
    let r = await conn.execute('select s.id, u.title from node_staff s, node_unit u where s.unit = u.unit(+) order by 1');
    assert.deepStrictEqual(r.rows, [[10, 'OPS'], [20, null]]);
    await conn.execute('create view node_staff_units as select s.id, s.pay, u.title ' +
      'from node_staff s left join node_unit u on s.unit = u.unit');
    r = await conn.execute('update node_staff_units set pay = pay + 1 where title is null');
    assert.strictEqual(r.rowsAffected, 1);
    await assert.rejects(conn.execute("update node_staff_units set title = 'X'"), (e) => e.errorNum === 1779);
    r = await conn.execute('select pay from node_staff order by id');
    assert.deepStrictEqual(r.rows, [[100], [201]]);
    await conn.rollback();
  });

  await check('a package keeps its state for the session; its members are called from PL/SQL and SQL', async () => {
    await conn.execute(`create or replace package node_pkg is
      hits number := 0;
      procedure hit(n in out number);
      function twice(n number) return number;
    end node_pkg;`);
    await conn.execute(`create or replace package body node_pkg is
      procedure hit(n in out number) is begin hits := hits + 1; n := n + hits; end;
      function twice(n number) return number is begin return 2 * n + hits; end;
    begin hits := 100; end node_pkg;`);
    const r = await conn.execute('begin node_pkg.hit(:n); node_pkg.hit(:n); end;',
      { n: { dir: oracledb.BIND_INOUT, type: oracledb.NUMBER, val: 1 } });
    assert.strictEqual(r.outBinds.n, 1 + 101 + 102);
    const q = await conn.execute('select node_pkg.twice(5) from dual');
    assert.deepStrictEqual(q.rows, [[112]]);
    const other = await oracledb.getConnection(account);
    try {
      const fresh = await other.execute('select node_pkg.twice(5) from dual');
      assert.deepStrictEqual(fresh.rows, [[110]]);
    } finally {
      await other.close();
    }
  });

  await check('a result set passed into PL/SQL as a REF CURSOR IN bind is read there; rows the client prefetched stay the client\'s', async () => {
    await conn.execute('create table node_rc (id number(3), name varchar2(10))');
    await conn.executeMany('insert into node_rc values (:1, :2)', [[1, 'one'], [2, 'two'], [3, 'three']]);
    await conn.execute(`create or replace procedure node_read(c in sys_refcursor, total out number, names out varchar2) is
      id number; name varchar2(10);
    begin
      total := 0;
      loop
        fetch c into id, name;
        exit when c%notfound;
        total := total + id;
        names := names || name || ',';
      end loop;
    end;`);
    // No prefetching, one row at a time: the client keeps only the row it read.
    const options = { resultSet: true, prefetchRows: 0, fetchArraySize: 1 };
    const rs = (await conn.execute('select id, name from node_rc order by id', [], options)).resultSet;
    assert.deepStrictEqual(await rs.getRow(), [1, 'one']);
    const r = await conn.execute('begin node_read(:c, :total, :names); end;', {
      c: rs,
      total: { dir: oracledb.BIND_OUT, type: oracledb.NUMBER },
      names: { dir: oracledb.BIND_OUT, type: oracledb.STRING, maxSize: 40 },
    });
    assert.deepStrictEqual(r.outBinds, { total: 5, names: 'two,three,' });
    assert.strictEqual(await rs.getRow(), undefined);
    await rs.close();
    // Rows prefetched with the execute are the client's: the procedure reads on after them,
    const prefetched = (await conn.execute('select id, name from node_rc order by id', [], { resultSet: true, prefetchRows: 2 })).resultSet;
    const after = await conn.execute('begin node_read(:c, :total, :names); end;', {
      c: prefetched,
      total: { dir: oracledb.BIND_OUT, type: oracledb.NUMBER },
      names: { dir: oracledb.BIND_OUT, type: oracledb.STRING, maxSize: 40 },
    });
    assert.deepStrictEqual(after.outBinds, { total: 3, names: 'three,' });
    // ... and still hands them to the application.
    assert.deepStrictEqual(await prefetched.getRows(), [[1, 'one'], [2, 'two']]);
    await prefetched.close();
    await conn.execute('drop table node_rc');
  });

  await check('an overloaded package function is chosen by its arguments from PL/SQL and SQL', async () => {
    await conn.execute(`create or replace package node_over is
      function f(n number) return varchar2;
      function f(s varchar2) return varchar2;
      function f(a number, b number) return varchar2;
    end;`);
    await conn.execute(`create or replace package body node_over is
      function f(n number) return varchar2 is begin return 'number ' || n; end;
      function f(s varchar2) return varchar2 is begin return 'text ' || s; end;
      function f(a number, b number) return varchar2 is begin return 'sum ' || (a + b); end;
    end;`);
    const out = { dir: oracledb.BIND_OUT, type: oracledb.STRING, maxSize: 20 };
    const r = await conn.execute("begin :a := node_over.f(7); :b := node_over.f('x'); :c := node_over.f(1, 2); end;",
      { a: out, b: out, c: out });
    assert.deepStrictEqual(r.outBinds, { a: 'number 7', b: 'text x', c: 'sum 3' });
    const q = await conn.execute('select node_over.f(:n), node_over.f(:s) from dual', { n: 4, s: 'y' });
    assert.deepStrictEqual(q.rows, [['number 4', 'text y']]);
  });

  const longText = 'Grüße ' + 'x'.repeat(70000) + ' Köln';
  const bytes = Buffer.from(Array.from({ length: 40000 }, (_, i) => i % 256));

  await check('CLOB and BLOB fetched as a string and a buffer', async () => {
    await conn.execute('create table node_lob (id number primary key, c clob, b blob)');
    await conn.execute('insert into node_lob values (1, :c, :b)', { c: longText, b: bytes });
    const r = await conn.execute('select c, b from node_lob where id = 1', [],
      { fetchInfo: { C: { type: oracledb.STRING }, B: { type: oracledb.BUFFER } } });
    assert.strictEqual(r.rows[0][0], longText);
    assert.ok(r.rows[0][1].equals(bytes));
    assert.strictEqual(r.metaData[0].dbType, oracledb.DB_TYPE_CLOB);
    assert.strictEqual(r.metaData[1].dbType, oracledb.DB_TYPE_BLOB);
  });

  await check('LOB columns as Lob objects: getData and streaming', async () => {
    let r = await conn.execute('select c, b from node_lob where id = 1');
    const [clob, blob] = r.rows[0];
    assert.strictEqual(clob.type, oracledb.DB_TYPE_CLOB);
    assert.strictEqual(clob.length, longText.length);
    assert.strictEqual(await clob.getData(), longText);
    assert.ok((await blob.getData()).equals(bytes));
    r = await conn.execute('select c, b from node_lob where id = 1');
    const [streamed, streamedBlob] = r.rows[0];
    streamed.setEncoding('utf8');
    let text = '';
    for await (const chunk of streamed) text += chunk;
    assert.strictEqual(text, longText);
    const pieces = [];
    for await (const chunk of streamedBlob) pieces.push(chunk);
    assert.ok(Buffer.concat(pieces).equals(bytes));
  });

  await check('a string bound into a CLOB and a temporary LOB bound into DML and PL/SQL', async () => {
    await conn.execute('insert into node_lob (id, c) values (2, :c)', { c: { val: longText, type: oracledb.CLOB } });
    const temp = await conn.createLob(oracledb.CLOB);
    await new Promise((resolve, reject) => {
      temp.on('error', reject);
      temp.on('finish', resolve);
      temp.end('temporary text');
    });
    await conn.execute('insert into node_lob (id, c) values (3, :c)', { c: temp });
    let r = await conn.execute('begin :n := dbms_lob.getlength(:t); dbms_lob.append(:t, \' appended\'); end;',
      { n: { dir: oracledb.BIND_OUT, type: oracledb.NUMBER }, t: { val: temp, dir: oracledb.BIND_INOUT } });
    assert.strictEqual(r.outBinds.n, 14);
    assert.strictEqual(await r.outBinds.t.getData(), 'temporary text appended');
    temp.destroy();
    r = await conn.execute('select id, dbms_lob.getlength(c), dbms_lob.substr(c, 9, 1) from node_lob where id > 1 order by id');
    assert.deepStrictEqual(r.rows, [[2, longText.length, 'Grüße xxx'], [3, 14, 'temporary']]);
    r = await conn.execute('begin :c := \'made in a block\'; end;', { c: { dir: oracledb.BIND_OUT, type: oracledb.CLOB } });
    assert.strictEqual(await r.outBinds.c.getData(), 'made in a block');
    r.outBinds.c.destroy();
    await conn.commit();
  });

  await check('DML RETURNING of LOBs: locators with their values, and empty LOBs not null', async () => {
    const r = await conn.execute('insert into node_lob values (10, \'returned text\', empty_blob()) returning c, b into :c, :b',
      { c: { dir: oracledb.BIND_OUT, type: oracledb.CLOB }, b: { dir: oracledb.BIND_OUT, type: oracledb.BLOB } });
    assert.strictEqual(r.outBinds.c.length, 1);
    assert.strictEqual(await r.outBinds.c[0].getData(), 'returned text');
    assert.notStrictEqual(r.outBinds.b[0], null);
    assert.strictEqual(r.outBinds.b[0].length, 0);
    r.outBinds.c[0].destroy();
    r.outBinds.b[0].destroy();
    await conn.rollback();
  });

  await check('TIMESTAMP WITH TIME ZONE round trip', async () => {
    const instant = new Date(Date.UTC(2024, 5, 1, 10, 30, 15, 250));
    await conn.execute('create table node_tz (t timestamp(3) with time zone)');
    await conn.execute('insert into node_tz values (:t)', { t: { val: instant, type: oracledb.DB_TYPE_TIMESTAMP_TZ } });
    const r = await conn.execute('select t, sys_extract_utc(t) from node_tz');
    assert.strictEqual(r.metaData[0].dbType, oracledb.DB_TYPE_TIMESTAMP_TZ);
    assert.strictEqual(r.rows[0][0].getTime(), instant.getTime());
    await conn.execute('drop table node_tz');
  });

  await check('an object type and a collection round trip as DbObjects', async () => {
    await conn.execute('create type node_part_t as object (name varchar2(20), qty number, made date)');
    await conn.execute('create type node_nums_t as table of number');
    await conn.execute('create table node_kit (id number, part node_part_t, nums node_nums_t) ' +
      'nested table nums store as node_kit_nums');
    const Part = await conn.getDbObjectClass('SCOTT.NODE_PART_T');
    const Nums = await conn.getDbObjectClass('SCOTT.NODE_NUMS_T');
    const made = new Date(2024, 1, 3);
    await conn.execute('insert into node_kit values (1, :p, :n)',
      { p: new Part({ NAME: 'bolt', QTY: 10, MADE: made }), n: new Nums([3, 1, 2]) });
    await conn.execute('insert into node_kit values (2, :p, :n)', { p: new Part({ NAME: 'nut' }), n: new Nums([]) });
    let r = await conn.execute('select k.part.name, k.part.qty, (select sum(column_value) from table(k.nums)) ' +
      'from node_kit k order by id');
    assert.deepStrictEqual(r.rows, [['bolt', 10, 6], ['nut', null, null]]);
    r = await conn.execute('select part, nums from node_kit order by id');
    const [part, nums] = r.rows[0];
    assert.strictEqual(part.NAME, 'bolt');
    assert.strictEqual(part.QTY, 10);
    assert.strictEqual(part.MADE.getTime(), made.getTime());
    assert.deepStrictEqual(nums.getValues(), [3, 1, 2]);
    assert.strictEqual(r.rows[1][0].QTY, null);
    assert.strictEqual(r.rows[1][1].length, 0);
    const out = await conn.execute('begin select part into :p from node_kit where id = 1; end;',
      { p: { dir: oracledb.BIND_OUT, type: Part } });
    assert.strictEqual(out.outBinds.p.NAME, 'bolt');
    assert.strictEqual(out.outBinds.p.QTY, 10);
    // copy() is a copy of its own: changing it leaves the original alone.
    const copied = part.copy();
    copied.NAME = 'screw';
    assert.deepStrictEqual([copied.NAME, copied.QTY, part.NAME], ['screw', 10, 'bolt']);
    assert.deepStrictEqual(nums.copy().getValues(), [3, 1, 2]);
    await conn.execute('drop table node_kit');
  });

  await check('types a package declares are DbObject classes: a record with a BOOLEAN, a sparse index-by table', async () => {
    await conn.execute(`create or replace package node_types as
      type rec_t is record (id number(5), flag boolean, name varchar2(20));
      type nums_t is table of number index by pls_integer;
    end;`);
    const Rec = await conn.getDbObjectClass('NODE_TYPES.REC_T');
    assert.strictEqual(Rec.prototype.fqn, 'SCOTT.NODE_TYPES.REC_T');
    assert.strictEqual(Rec.prototype.isCollection, false);
    assert.deepStrictEqual(Object.keys(Rec.prototype.attributes), ['ID', 'FLAG', 'NAME']);
    assert.strictEqual(Rec.prototype.attributes.FLAG.type, oracledb.DB_TYPE_BOOLEAN);
    const r = new Rec({ ID: 7, FLAG: false, NAME: 'seven' });
    assert.deepStrictEqual([r.ID, r.FLAG, r.NAME], [7, false, 'seven']);
    r.FLAG = true;
    assert.strictEqual(r.FLAG, true);
    const Nums = await conn.getDbObjectClass('SCOTT.NODE_TYPES.NUMS_T');
    assert.strictEqual(Nums.prototype.isCollection, true);
    const n = new Nums();
    n.setElement(10, 1);
    n.setElement(-5, 2);
    n.setElement(3, 3);
    n.deleteElement(3);
    n.append(4);
    assert.deepStrictEqual(n.getKeys(), [-5, 10, 11]);
    assert.deepStrictEqual(n.getValues(), [2, 1, 4]);
    assert.strictEqual(n.getNextIndex(-5), 10);
    await assert.rejects(conn.getDbObjectClass('NODE_TYPES.NO_SUCH_T'), (e) => e.errorNum === 4043);
  });

  await check('a package record with a BOOLEAN binds IN and OUT; index-by tables come back OUT with their keys', async () => {
    await conn.execute(`create or replace package node_binds as
      type rec_t is record (id number, flag boolean, name varchar2(20));
      type nums_t is table of number index by pls_integer;
      type words_t is table of varchar2(20) index by pls_integer;
      function flip(r rec_t) return rec_t;
      function numbers_of(n number) return nums_t;
      procedure words(t out words_t);
    end;`);
    await conn.execute(`create or replace package body node_binds as
      function flip(r rec_t) return rec_t is o rec_t := r; begin o.flag := not r.flag; o.id := r.id + 1; return o; end;
      function numbers_of(n number) return nums_t is
        t nums_t;
      begin
        for i in 1 .. n loop t(i * 2) := i * i; end loop;
        return t;
      end;
      procedure words(t out words_t) is begin t(-1) := 'minus'; t(5) := 'five'; end;
    end;`);
    const Rec = await conn.getDbObjectClass('NODE_BINDS.REC_T');
    const r = await conn.execute('begin :o := node_binds.flip(:i); end;',
      { i: new Rec({ ID: 1, FLAG: true, NAME: 'one' }), o: { dir: oracledb.BIND_OUT, type: Rec } });
    assert.deepStrictEqual([r.outBinds.o.ID, r.outBinds.o.FLAG, r.outBinds.o.NAME], [2, false, 'one']);
    const Nums = await conn.getDbObjectClass('NODE_BINDS.NUMS_T');
    const t = await conn.execute('begin :t := node_binds.numbers_of(3); end;',
      { t: { dir: oracledb.BIND_OUT, type: Nums } });
    assert.deepStrictEqual(t.outBinds.t.getKeys(), [2, 4, 6]);
    assert.deepStrictEqual(t.outBinds.t.getValues(), [1, 4, 9]);
    const Words = await conn.getDbObjectClass('NODE_BINDS.WORDS_T');
    const w = await conn.execute('begin node_binds.words(:t); end;', { t: { dir: oracledb.BIND_OUT, type: Words } });
    assert.deepStrictEqual(w.outBinds.t.getKeys(), [-1, 5]);
    assert.deepStrictEqual(w.outBinds.t.getValues(), ['minus', 'five']);
    await assert.rejects(conn.execute('select :r from dual', { r: new Rec({ ID: 1 }) }), (e) => e.errorNum === 21700);
  });

  await check('an object constructed with no attributes is stored as an object, a null bind as NULL', async () => {
    const Part = await conn.getDbObjectClass('SCOTT.NODE_PART_T');
    await conn.execute('create table node_bare (id number, part node_part_t)');
    await conn.execute('insert into node_bare values (1, :p)', { p: new Part({}) });
    await conn.execute('insert into node_bare values (2, :p)', { p: { type: Part, val: null } });
    const r = await conn.execute('select part, nvl2(part, 1, 0) from node_bare order by id');
    assert.strictEqual(r.rows[0][0].NAME, null);
    assert.strictEqual(r.rows[0][1], 1);
    assert.deepStrictEqual(r.rows[1], [null, 0]);
    await conn.execute('drop table node_bare');
  });

  await check('block variables of an object type and a collection type carry IN OUT values through', async () => {
    const Part = await conn.getDbObjectClass('SCOTT.NODE_PART_T');
    const Nums = await conn.getDbObjectClass('SCOTT.NODE_NUMS_T');
    const r = await conn.execute(`declare p node_part_t := :p; n scott.node_nums_t := :n;
      begin :p := p; :n := n; end;`,
    { p: { dir: oracledb.BIND_INOUT, type: Part, val: new Part({ NAME: 'washer', QTY: 589508999999999999999n }) },
      n: { dir: oracledb.BIND_INOUT, type: Nums, val: new Nums([7, 8]) } });
    assert.strictEqual(r.outBinds.p.NAME, 'washer');
    assert.strictEqual(r.outBinds.p.QTY, 589508999999999999999);
    assert.deepStrictEqual(r.outBinds.n.getValues(), [7, 8]);
    await assert.rejects(conn.execute('declare p node_no_such_t := :p; begin null; end;', { p: 1 }),
      (e) => e.errorNum === 6550);
    const changed = await conn.execute(`declare p node_part_t := :p;
      begin p.qty := p.qty * 2; p.made := date '2024-02-03'; :name := p.name; :p := p; end;`,
    { p: { dir: oracledb.BIND_INOUT, type: Part, val: new Part({ NAME: 'pin', QTY: 21 }) },
      name: { dir: oracledb.BIND_OUT, type: oracledb.STRING } });
    assert.strictEqual(changed.outBinds.name, 'pin');
    assert.strictEqual(changed.outBinds.p.QTY, 42);
    assert.strictEqual(changed.outBinds.p.MADE.getTime(), new Date(2024, 1, 3).getTime());
    await assert.rejects(conn.execute('declare p node_part_t; begin p.qty := 1; end;'), (e) => e.errorNum === 6530);
  });

  await check('a number bound into a DATE or TIMESTAMP WITH TIME ZONE column is refused and stores nothing', async () => {
    await conn.execute('create table node_when (id number, d date, tz timestamp with time zone)');
    await assert.rejects(conn.execute('insert into node_when values (:1, :2, :3)', [1, new Date(), 23]),
      (e) => e.errorNum === 932 && /expected TIMESTAMP WITH TIME ZONE got NUMBER/.test(e.message));
    await assert.rejects(conn.execute('insert into node_when (id, d) values (2, :d)', { d: 5 }), (e) => e.errorNum === 932);
    const r = await conn.execute('select count(*) from node_when');
    assert.deepStrictEqual(r.rows, [[0]]);
    await conn.execute('drop table node_when');
  });

  await check('a reserved word as a bind name is refused with ORA-01745; quoted it binds', async () => {
    await assert.rejects(conn.execute('select :ROWID from dual', { ROWID: 1 }), (e) => e.errorNum === 1745);
    await assert.rejects(conn.execute('select :size from dual', { size: 1 }), (e) => e.errorNum === 1745);
    const r = await conn.execute('select :"ROWID" from dual', { '"ROWID"': 1 });
    assert.deepStrictEqual(r.rows, [[1]]);
  });

  await check('RETURNING statements take dates and LOBs bound in (the client binds them through callbacks)', async () => {
    await conn.execute('create table node_ret (id number, at timestamp, note clob)');
    const note = await conn.createLob(oracledb.CLOB);
    await note.write('a note');
    const at = new Date(2021, 6, 4, 5, 6, 7);
    const r = await conn.execute('insert into node_ret values (:id, :at, :note) returning id, at into :rid, :rat',
      { id: 1, at, note, rid: { dir: oracledb.BIND_OUT, type: oracledb.NUMBER },
        rat: { dir: oracledb.BIND_OUT, type: oracledb.DATE } });
    assert.deepStrictEqual(r.outBinds.rid, [1]);
    assert.strictEqual(r.outBinds.rat[0].getTime(), at.getTime());
    const back = await conn.execute('select note from node_ret', [], { fetchInfo: { NOTE: { type: oracledb.STRING } } });
    assert.deepStrictEqual(back.rows, [['a note']]);
    note.destroy();
  });

  await check('a returned value the out bind cannot take fails the statement and leaves no row', async () => {
    await assert.rejects(conn.execute('insert into node_ret values (2, systimestamp, null) returning at into :n',
      { n: { dir: oracledb.BIND_OUT, type: oracledb.NUMBER } }), (e) => e.errorNum === 932);
    const r = await conn.execute('select count(*) from node_ret where id = 2');
    assert.deepStrictEqual(r.rows, [[0]]);
    await conn.execute('drop table node_ret');
  });

  await check('arrays pass into index-by table parameters; a mismatched array or OUT bind is refused', async () => {
    await conn.execute(`create or replace package node_arrays as
      type nums_t is table of number index by binary_integer;
      procedure total(a nums_t, s out number);
      procedure stamp(t out timestamp);
    end;`);
    await conn.execute(`create or replace package body node_arrays as
      procedure total(a nums_t, s out number) is
      begin s := 0; for i in 1 .. a.count loop s := s + a(i); end loop; end;
      procedure stamp(t out timestamp) is begin t := systimestamp; end;
    end;`);
    const r = await conn.execute('begin node_arrays.total(:a, :s); end;',
      { a: { type: oracledb.NUMBER, val: [4, 5, 6] }, s: { dir: oracledb.BIND_OUT, type: oracledb.NUMBER } });
    assert.strictEqual(r.outBinds.s, 15);
    await assert.rejects(conn.execute('begin node_arrays.total(:a, :s); end;',
      { a: ['4', '5'], s: { dir: oracledb.BIND_OUT, type: oracledb.NUMBER } }), /PLS-00418/);
    await assert.rejects(conn.execute('begin node_arrays.stamp(:t); end;',
      { t: { dir: oracledb.BIND_OUT, type: oracledb.NUMBER } }), /PLS-00306/);
    await conn.execute('drop package node_arrays');
  });

  await check('a cursor a procedure never opens is an invalid cursor for the client, not a failed call', async () => {
    await conn.execute('create or replace procedure node_no_cursor(c out sys_refcursor) as begin null; end;');
    await assert.rejects(conn.execute('begin node_no_cursor(:c); end;', { c: { dir: oracledb.BIND_OUT, type: oracledb.CURSOR } }),
      /NJS-107/);
    await conn.execute('drop procedure node_no_cursor');
  });

  await check('numbers of 39 digits round to 38 and text goes by its date model', async () => {
    const r = await conn.execute(`select to_char(to_number('340282366920938463463374607431768211455')),
      to_char(to_date('2015-01-11', 'YYYY-DD-MM'), 'YYYY-MM-DD') from dual`);
    assert.deepStrictEqual(r.rows, [['340282366920938463463374607431768211460', '2015-11-01']]);
    await conn.execute('create table node_big (n number)');
    await conn.execute('insert into node_big values (:n)', [999999999999999999999999999999999999999n]);
    const big = await conn.execute('select to_char(n) from node_big');
    assert.deepStrictEqual(big.rows, [['1000000000000000000000000000000000000000']]);
    await conn.execute('drop table node_big');
  });

  await check('lastRowid names the last row a DELETE of every row removed, another session\'s lock holds', async () => {
    await conn.execute('create table node_lr (id number)');
    const second = await conn.execute('insert into node_lr values (:1)', [1]);
    await conn.commit();
    let r = await conn.execute('delete from node_lr');
    assert.strictEqual(r.lastRowid, second.lastRowid);
    await conn.rollback();
    r = await conn.execute('insert all into node_lr values (2) into node_lr values (3) select * from dual');
    assert.strictEqual(r.lastRowid, undefined);
    await conn.rollback();
    await conn.execute('drop table node_lr');
  });

  await check('TIMESTAMP(p) columns keep p fraction digits and a constructor fetches as a DbObject', async () => {
    await conn.execute('create table node_ts (t timestamp(3))');
    await conn.execute(`insert into node_ts values (timestamp '2020-01-02 03:04:05.123789')`);
    let r = await conn.execute(`select to_char(t, 'HH24:MI:SS.FF') from node_ts`);
    assert.deepStrictEqual(r.rows, [['03:04:05.124']]);
    await conn.execute('drop table node_ts');
    await conn.execute('create or replace type node_pt as object (x number, y number)');
    r = await conn.execute(`select node_pt(1, 2), 'a b' from dual`);
    assert.deepStrictEqual([r.rows[0][0].X, r.rows[0][0].Y], [1, 2]);
    assert.deepStrictEqual(r.metaData.map((m) => m.name), ['NODE_PT(1,2)', "'AB'"]);
    await conn.execute('drop type node_pt');
  });

  await check('PL/SQL BOOLEAN binds in and out; currentSchema is empty until set and refused when unknown', async () => {
    let r = await conn.execute(`begin :o := case when :b then 'yes' else 'no' end; :s := :n < 10; end;`, {
      o: { dir: oracledb.BIND_OUT, type: oracledb.STRING, maxSize: 3 }, b: true,
      s: { dir: oracledb.BIND_OUT, type: oracledb.DB_TYPE_BOOLEAN }, n: 12 });
    assert.deepStrictEqual([r.outBinds.o, r.outBinds.s], ['yes', false]);
    const other = await oracledb.getConnection(account);
    assert.strictEqual(other.currentSchema, '');
    other.currentSchema = 'NOBODY_THERE';
    await assert.rejects(other.execute('select 1 from dual'), /ORA-01435/);
    await other.execute('alter session set current_schema = scott');
    assert.strictEqual(other.currentSchema, 'SCOTT');
    await other.close();
  });

  await check('string literals describe as CHAR; JSON_OBJECT and a missing RETURNING value are parsed', async () => {
    let r = await conn.execute("select 'abc' as a, 'a' || 'bc' as b, 'a' || 1 as c from dual");
    assert.deepStrictEqual(r.rows, [['abc', 'abc', 'a1']]);
    assert.deepStrictEqual(r.metaData.map((m) => [m.dbType, m.byteSize]),
      [[oracledb.DB_TYPE_CHAR, 3], [oracledb.DB_TYPE_CHAR, 3], [oracledb.DB_TYPE_VARCHAR, 4000]]);
    r = await conn.execute("select json_object(key 'n' is 1, 'v' value 'x', 'z' : null absent on null) from dual");
    assert.deepStrictEqual(JSON.parse(r.rows[0][0]), { n: 1, v: 'x' });
    await assert.rejects(conn.execute('insert into node_t (id) values (90) returning into :r',
      { r: { dir: oracledb.BIND_OUT, type: oracledb.NUMBER } }), (e) => e.errorNum === 936);
  });

  await check('failures while a statement runs carry their own error and leave the connection usable', async () => {
    await conn.execute('create table node_rt (id number primary key, c char(1) not null)');
    await conn.execute("insert into node_rt values (1, 'x')");
    await assert.rejects(conn.execute('update node_rt set c = null'), (e) => e.errorNum === 1407);
    await assert.rejects(conn.execute("select 1 from dual where 'a' like 'a' escape 'xx'"), (e) => e.errorNum === 1425);
    await assert.rejects(conn.execute('select ntile(0) over (order by id) from node_rt'), (e) => e.errorNum === 1428);
    await conn.execute("insert into node_rt values (2, 'y')");
    await assert.rejects(conn.execute('select c * 2 from node_rt'), (e) => e.errorNum === 1722);
    await assert.rejects(conn.execute("select id from node_rt where 1 = 'a'"), (e) => e.errorNum === 1722);
    await assert.rejects(conn.execute('select (select id from node_rt) from dual'), (e) => e.errorNum === 1427);
    await conn.execute('delete from node_rt where id = 2');
    const r = await conn.execute('select count(*) from node_rt');
    assert.deepStrictEqual(r.rows, [[1]]);
    await conn.execute('drop table node_rt');
  });

  await check('LISTAGG orders a group\'s values; RETURNING gives a view\'s computed column', async () => {
    await conn.execute('create table node_la (g number, v varchar2(5), k number)');
    await conn.execute("insert into node_la select 1, 'b', 2 from dual union all select 1, 'a', 3 from dual");
    let r = await conn.execute('select listagg(v, \',\') within group (order by k desc) from node_la group by g');
    assert.deepStrictEqual(r.rows, [['a,b']]);
    await conn.execute('create view node_la_v as select g, v, k * 10 k10 from node_la');
    r = await conn.execute("update node_la_v set v = 'c' where v = 'b' returning k10 into :k",
      { k: { dir: oracledb.BIND_OUT, type: oracledb.NUMBER } });
    assert.deepStrictEqual(r.outBinds.k, [20]);
    await conn.execute('drop view node_la_v');
    await conn.execute('drop table node_la');
  });

  await check('a join view writes its key-preserved table and refuses the other with ORA-01779', async () => {
    await conn.execute('create table node_jd (d number primary key, dname varchar2(9))');
    await conn.execute('create table node_je (e number primary key, d number, sal number)');
    await conn.execute("insert into node_jd values (1, 'OPS')");
    await conn.execute('insert into node_je values (7, 1, 100)');
    await conn.execute('create view node_jv as select e.e, e.sal, d.dname from node_je e join node_jd d on d.d = e.d');
    const r = await conn.execute("update node_jv set sal = sal + 1 where dname = 'OPS' returning dname into :n",
      { n: { dir: oracledb.BIND_OUT, type: oracledb.STRING } });
    assert.deepStrictEqual([r.rowsAffected, r.outBinds.n], [1, ['OPS']]);
    await assert.rejects(conn.execute("update node_jv set dname = 'X'"), (e) => e.errorNum === 1779);
    await assert.rejects(conn.execute('select cast(12345 as number(3)) from dual'), (e) => e.errorNum === 1438);
    await assert.rejects(conn.execute('select power(10, 200) from dual'), (e) => e.errorNum === 1426);
    const rows = await conn.execute('select sal from node_je');
    assert.deepStrictEqual(rows.rows, [[101]]);
    await conn.execute('drop view node_jv');
    await conn.execute('drop table node_je');
    await conn.execute('drop table node_jd');
  });

  await check('ping and connection close', async () => {
    await conn.ping();
  });

  await conn.execute('drop table node_t');
  await conn.execute('drop table node_lob').catch(() => {});
  await conn.close();

  await check('a session pool lends and takes back connections', async () => {
    const pool = await oracledb.createPool({ ...account, poolMin: 1, poolMax: 2, poolIncrement: 1 });
    const a = await pool.getConnection();
    const b = await pool.getConnection();
    assert.strictEqual(pool.connectionsInUse, 2);
    const r = await b.execute('select user from dual');
    assert.deepStrictEqual(r.rows, [['SCOTT']]);
    await a.close();
    await b.close();
    assert.strictEqual(pool.connectionsInUse, 0);
    assert.ok(pool.connectionsOpen >= 1 && pool.connectionsOpen <= 2);
    await pool.close(0);
  });

  await check('a wrong password is refused with ORA-01017', async () => {
    await assert.rejects(oracledb.getConnection({ ...account, password: 'TIGER' }), (e) => e.errorNum === 1017);
  });
}

main()
  .catch((e) => {
    results.failed++;
    console.log(`FAILED setup: ${e.stack || e.message}`);
  })
  .finally(() => {
    console.log(`${results.passed} passed, ${results.failed} failed, ${results.skipped} skipped`);
    process.exitCode = results.failed === 0 ? 0 : 1;
  });

// The configurator page: reads the unit through the tool's small API,
// shows it, and writes changes as the unit's own set-requests (the same
// words and ranges the unit takes, checked here before anything is sent).
'use strict';

const $ = (id) => document.getElementById(id);
const BAUDS = [2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800];
const LIVE_EVERY_MS = 3000;
let settings = null;
let editing = -1;
let liveTimer = null;

// A line under a form: a fault in red, a result in green.
function note(id, text, fault) {
  $(id).textContent = text;
  $(id).classList.toggle('done', !fault);
}

function banner(text, kind) {
  const b = $('banner');
  b.textContent = text || '';
  b.className = 'banner ' + (kind || 'error') + (text ? '' : ' hidden');
}

async function call(path, options) {
  let res;
  try {
    res = await fetch(path, options);
  } catch (e) {
    throw new Error('the configurator tool does not answer (is qrv806-config still running?)');
  }
  const type = res.headers.get('Content-Type') || '';
  if (!type.startsWith('application/json')) throw new Error('unexpected answer from the tool: ' + res.status);
  const body = await res.json();
  if (res.status === 502) throw new Error(body.error);
  return body;
}

function logStep(step) {
  const li = document.createElement('li');
  li.className = step.ok ? 'ok' : 'er';
  li.textContent = (step.line ? 'line ' + step.line + ': ' : '') + step.request + '  ->  ' + step.answer;
  $('log').appendChild(li);
  li.scrollIntoView({ block: 'nearest' });
}

function logNote(text, ok) {
  logStep({ request: text, answer: ok ? 'done' : 'stopped', ok: ok });
}

async function send(requests) {
  const body = await call('api/requests', {
    method: 'POST',
    headers: { 'Content-Type': 'application/json', 'X-QRV806-Page': '1' },
    body: JSON.stringify({ requests: requests }),
  });
  (body.steps || []).forEach(logStep);
  if (body.error) banner(body.error);
  return body.ok;
}

// ---- reading the unit ----

function showLive(live) {
  const cells = $('live-digital').cells;
  live.di.forEach((v, i) => { cells[i].textContent = v; cells[i].className = v ? 'on' : ''; });
  live.do.forEach((v, i) => { cells[5 + i].textContent = v; cells[5 + i].className = v ? 'on' : ''; });
  const ai = $('live-analog').cells;
  live.ai.forEach((v, i) => { ai[i].textContent = v.toFixed(4); });
  const counts = $('live-counts').cells;
  live.counts.forEach((v, i) => { counts[1 + i].textContent = v; });
  $('unit-signal').textContent = live.signal === 0 ? '0 (not registered)' : live.signal + ' / 31';
  $('live-time').textContent = 'read ' + new Date().toLocaleTimeString();
}

async function refreshLive() {
  try {
    const live = await call('api/live');
    showLive(live);
    if ($('banner').classList.contains('error') && $('banner').dataset.live) banner('');
  } catch (e) {
    banner(e.message);
    $('banner').dataset.live = '1';
  }
}

async function readUnit() {
  banner('Reading the unit...', 'info');
  try {
    const unit = await call('api/unit');
    $('unit-name').textContent = unit.name || '(none)';
    $('unit-model').textContent = unit.model;
    $('unit-firmware').textContent = unit.firmware;
    const g = unit.gain;
    $('calibration').textContent = 'gain ' + g[0] + ', offset ' + g[1] + '; below 0: gain ' + g[2] + ', offset ' + g[3];
    showLive(unit.live);
    settings = await call('api/settings');
    showEvents();
    showUnitForm();
    banner('');
  } catch (e) {
    banner(e.message);
  }
  if (!liveTimer) liveTimer = setInterval(refreshLive, LIVE_EVERY_MS);
}

// ---- events ----

// The @EVNT definition text as fields.
function parseDefinition(text) {
  const f = text.split(';');
  const ev = { kind: 'DAI_NO_USE', channel: 0, type: '', hold: 200, reset: 50, high: 10, low: -10,
    days: 1, hms: '080000', doWord: 'DO_ALL_OFF', doHold: 0, voice: 'VOICE_OFF', smsdbs: 'SMSDBS_OFF' };
  const m = /^(COUNTER|DI|AI|REPORT)(\d*)$/.exec(f[0]);
  if (!m) return ev;
  ev.kind = m[1];
  ev.channel = Number(m[2] || 0);
  if (ev.kind === 'REPORT') {
    // Answered with the output and voice parts too; the SMS form is last.
    ev.days = Number(f[1]); ev.hms = f[2]; ev.smsdbs = f[f.length - 1];
    return ev;
  }
  ev.type = f[1]; ev.hold = Number(f[2]); ev.reset = Number(f[3]);
  let at = 4;
  if (ev.kind === 'AI') {
    if (ev.type === 'HIGH') ev.high = Number(f[at++]);
    else if (ev.type === 'LOW') ev.low = Number(f[at++]);
    else { ev.high = Number(f[at++]); ev.low = Number(f[at++]); }
  }
  ev.doWord = f[at]; ev.doHold = Number(f[at + 1]); ev.voice = f[at + 2]; ev.smsdbs = f[at + 3];
  return ev;
}

function triggerText(ev) {
  switch (ev.kind) {
    case 'DI': return 'DI' + ev.channel + ' ' + ev.type + ', hold ' + ev.hold + ' ms, reset ' + ev.reset + ' ms';
    case 'COUNTER': return 'counter DI' + ev.channel + ' ' + ev.type + ', hold ' + ev.hold + ' ms, reset ' + ev.reset + ' ms';
    case 'AI': {
      const lim = ev.type === 'HIGH' ? '> ' + ev.high : ev.type === 'LOW' ? '< ' + ev.low : '> ' + ev.high + ' or < ' + ev.low;
      return 'AI' + ev.channel + ' ' + lim + ', hold ' + ev.hold + ' ms, reset ' + ev.reset + ' ms';
    }
    case 'REPORT': return 'report every ' + ev.days + ' day(s) at ' + ev.hms;
    default: return 'off';
  }
}

// UCS2 hex (4 digits a character) as text, and back.
function hexToText(hex) {
  let out = '';
  for (let i = 0; i + 4 <= hex.length; i += 4) out += String.fromCharCode(parseInt(hex.substr(i, 4), 16));
  return out;
}
function textToHex(text) {
  let out = '';
  for (let i = 0; i < text.length; i++) out += text.charCodeAt(i).toString(16).toUpperCase().padStart(4, '0');
  return out;
}

function messageText(e) {
  if (e.length === 0) return '';
  return e.coding === 'UCS2' ? hexToText(e.message) : e.message;
}

function showEvents() {
  const body = $('events').tBodies[0];
  body.innerHTML = '';
  settings.events.forEach((e, n) => {
    const ev = parseDefinition(e.definition);
    const tr = body.insertRow();
    tr.className = ev.kind === 'DAI_NO_USE' ? 'off' : '';
    const cells = [n, triggerText(ev), e.phones.join(', '),
      e.length ? e.coding + ': ' + messageText(e) : '',
      ev.kind === 'DAI_NO_USE' || ev.kind === 'REPORT' ? '' : ev.doWord + (ev.doHold ? ' ' + ev.doHold + ' ms' : ''),
      ev.kind === 'DAI_NO_USE' ? '' : (ev.voice === 'VOICE_ON' ? 'on' : 'off'),
      e.smsdbs ? 'compact' : 'plain'];
    cells.forEach((c) => { tr.insertCell().textContent = c; });
    const b = document.createElement('button');
    b.textContent = 'Edit';
    b.id = 'edit-' + n;
    b.onclick = () => editEvent(n);
    tr.insertCell().appendChild(b);
  });
}

function fillChannels(kind, channel) {
  const sel = $('ev-channel');
  sel.innerHTML = '';
  const count = kind === 'AI' ? 4 : 5;
  for (let i = 0; i < count; i++) sel.add(new Option((kind === 'AI' ? 'AI' : 'DI') + i, i));
  sel.value = Math.min(channel, count - 1);
}

function showKindFields() {
  const kind = $('ev-kind').value;
  const aiType = $('ev-ai-type').value;
  document.querySelectorAll('#event-form [class*="k-"]').forEach((el) => {
    let show = el.classList.contains('k-' + kind);
    if (show && kind === 'AI' && /a-/.test(el.className)) show = el.classList.contains('a-' + aiType);
    el.classList.toggle('hidden', !show);
  });
  if (kind !== 'DAI_NO_USE') {
    const current = $('ev-channel').options.length;
    if ((kind === 'AI') !== (current === 4)) fillChannels(kind, Number($('ev-channel').value) || 0);
  }
  updateEventRequests();
}

function editEvent(n) {
  editing = n;
  const e = settings.events[n];
  const ev = parseDefinition(e.definition);
  $('ev-number').textContent = n;
  $('ev-kind').value = ev.kind;
  fillChannels(ev.kind, ev.channel);
  if (ev.kind === 'DI') $('ev-di-type').value = ev.type;
  if (ev.kind === 'COUNTER') $('ev-pulse').value = ev.type;
  if (ev.kind === 'AI') $('ev-ai-type').value = ev.type;
  $('ev-hold').value = ev.hold; $('ev-reset').value = ev.reset;
  $('ev-high').value = ev.high; $('ev-low').value = ev.low;
  $('ev-days').value = ev.days; $('ev-hms').value = ev.hms;
  $('ev-do').value = ev.doWord || 'DO_ALL_OFF'; $('ev-do-hold').value = ev.doHold || 0;
  $('ev-voice').value = ev.voice || 'VOICE_OFF';
  $('ev-smsdbs').value = e.smsdbs ? 'SMSDBS_ON' : 'SMSDBS_OFF';
  $('ev-phones').value = e.phones.join('\n');
  $('ev-coding').value = e.coding === 'UCS2' ? 'UCS2' : '7BIT';
  $('ev-message').value = messageText(e);
  $('event-editor').classList.remove('hidden');
  showKindFields();
  $('event-editor').scrollIntoView();
}

function wholeNumber(id, min, max, what) {
  const text = $(id).value.trim();
  if (!/^\d+$/.test(text)) throw new Error(what + ': a whole number');
  const v = Number(text);
  if (v < min || v > max) throw new Error(what + ': ' + min + ' to ' + max);
  return v;
}

function limit(id, what) {
  const text = $(id).value.trim();
  const v = Number(text);
  if (text === '' || !isFinite(v) || v < -10 || v > 10) throw new Error(what + ': a number from -10 to 10');
  return Number(v.toFixed(4));
}

// Phone numbers as the unit keeps them: 1 to 19 characters, no ";" or ",".
function phoneList(id, what) {
  const list = $(id).value.split('\n').map((s) => s.trim()).filter((s) => s !== '');
  if (list.length > 10) throw new Error(what + ': at most 10 numbers');
  list.forEach((p) => {
    if (p.length > 19) throw new Error(what + ': ' + p + ' is longer than 19 characters');
    if (/[;,]/.test(p) || /[^\x20-\x7e]/.test(p)) throw new Error(what + ': ' + p + ' holds a character the unit cannot keep');
  });
  return list;
}

// GSM 7-bit default alphabet characters taken by the unit (ISO 8859-1 side);
// those of the extension table take two of the 160 septets.
const GSM_BASIC = '@£$¥èéùìòÇ\nØø\rÅåΔ_ΦΓΛΩΠΨΣΘΞÆæßÉ !"#¤%&\'()*+,-./0123456789:;<=>?¡ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÑÜ§¿abcdefghijklmnopqrstuvwxyzäöñüà';
const GSM_EXTENSION = '^{}\\[~]|€';

function septets(text) {
  let n = 0;
  for (const c of text) {
    if (GSM_EXTENSION.includes(c)) n += 2;
    else if (GSM_BASIC.includes(c) && c.charCodeAt(0) <= 0xff) n += 1;
    else return -1;
  }
  return n;
}

function messageRequest(n) {
  const text = $('ev-message').value.replace(/\r?\n/g, ' ');
  if (text === '') return '@MSG' + n + ';(CLR)';
  if ($('ev-coding').value === 'UCS2') {
    if (text.length > 70) throw new Error('message: at most 70 characters in UCS2');
    return '@MSG' + n + ';UCS2;' + text.length + ';' + textToHex(text);
  }
  if (text.includes(';')) throw new Error('message: a ";" cannot be sent (it separates the fields)');
  const s = septets(text);
  if (s < 0) throw new Error('message: a character outside the GSM 7-bit alphabet; choose UCS2');
  if (s > 160) throw new Error('message: ' + s + ' of 160 characters in 7BIT');
  return '@MSG' + n + ';7BIT;' + text.length + ';' + text;
}

function eventRequests() {
  const n = editing;
  const kind = $('ev-kind').value;
  if (kind === 'DAI_NO_USE') return ['@EVNT' + n + ';DAI_NO_USE'];
  let def;
  if (kind === 'REPORT') {
    const days = wholeNumber('ev-days', 0, 31, 'every days');
    const hms = $('ev-hms').value.trim();
    const m = /^(\d\d)(\d\d)(\d\d)$/.exec(hms);
    if (!m || Number(m[1]) > 23 || Number(m[2]) > 59 || Number(m[3]) > 59) throw new Error('at: HHMMSS, e.g. 080000');
    def = 'REPORT;' + days + ';' + hms + ';' + $('ev-smsdbs').value;
  } else {
    const ch = $('ev-channel').value;
    const hold = wholeNumber('ev-hold', 50, 86400000, 'hold ms');
    const reset = wholeNumber('ev-reset', 50, 86400000, 'reset ms');
    let head;
    if (kind === 'DI') head = 'DI' + ch + ';' + $('ev-di-type').value + ';' + hold + ';' + reset;
    else if (kind === 'COUNTER') head = 'COUNTER' + ch + ';' + $('ev-pulse').value + ';' + hold + ';' + reset;
    else {
      const type = $('ev-ai-type').value;
      head = 'AI' + ch + ';' + type + ';' + hold + ';' + reset;
      if (type === 'HIGH') {
        const high = limit('ev-high', 'high limit');
        if (high <= -10) throw new Error('high limit: above -10');
        head += ';' + high;
      } else if (type === 'LOW') {
        const low = limit('ev-low', 'low limit');
        if (low >= 10) throw new Error('low limit: below 10');
        head += ';' + low;
      } else {
        const high = limit('ev-high', 'high limit');
        const low = limit('ev-low', 'low limit');
        if (high <= low) throw new Error('the high limit must be above the low limit');
        head += ';' + high + ';' + low;
      }
    }
    def = head + ';' + $('ev-do').value + ';' + wholeNumber('ev-do-hold', 0, 86400000, 'output pulse ms') + ';' +
      $('ev-voice').value + ';' + $('ev-smsdbs').value;
  }
  const phones = phoneList('ev-phones', 'phones');
  return ['@EVNT' + n + ';' + def, '@PHONE' + n + ';' + [phones.length].concat(phones).join(';'), messageRequest(n)];
}

function updateEventRequests() {
  const len = $('ev-message').value.length;
  $('ev-msg-count').textContent = '(' + len + ($('ev-coding').value === 'UCS2' ? ' of 70)' : ' of 160)');
  try {
    $('ev-requests').textContent = eventRequests().join('\n');
    note('ev-problem', '', true);
    $('ev-write').disabled = false;
  } catch (e) {
    $('ev-requests').textContent = '';
    note('ev-problem', e.message, true);
    $('ev-write').disabled = true;
  }
}

async function writeEvent(ev) {
  ev.preventDefault();
  let requests;
  try { requests = eventRequests(); } catch (e) { $('ev-problem').textContent = e.message; return; }
  banner('');
  if (await send(requests)) {
    note('ev-problem', 'written (not saved yet)', false);
    await reloadSettings();
  } else {
    $('ev-problem').textContent = 'the unit refused a request: see the answers below';
  }
}

// ---- the unit's own settings ----

function showUnitForm() {
  $('u-name').value = settings.name;
  $('u-ctrl').value = settings.control_phones.join('\n');
  $('u-bridge-phone').value = settings.bridge_phone;
  const p = settings.bridge_port.split(';');
  $('u-baud').value = p[0]; $('u-parity').value = p[1]; $('u-data').value = p[2]; $('u-stop').value = p[3];
  $('u-bridge').value = p[4] === 'ON' ? 'ON' : 'OFF';
  const counts = $('u-counts');
  const presets = $('u-presets');
  while (counts.cells.length > 1) counts.deleteCell(1);
  while (presets.cells.length > 1) presets.deleteCell(1);
  settings.counters.forEach((c, i) => {
    counts.insertCell().innerHTML = '<input type="number" min="0" max="999999999" id="u-count-' + i + '">';
    presets.insertCell().innerHTML = '<input type="number" min="10" max="999999999" id="u-preset-' + i + '">';
    $('u-count-' + i).value = c.count;
    $('u-preset-' + i).value = c.preset;
  });
}

function unitRequests() {
  const out = [];
  const name = $('u-name').value.trim();
  if (name !== settings.name) {
    if (name === '' || name.length > 20 || /[;\x00-\x1f]/.test(name)) throw new Error('device name: 1 to 20 characters, no ";"');
    out.push('@STAN;' + name);
  }
  const pin = $('u-pin').value.trim();
  if (pin !== '') {
    if (!/^\d{4}$/.test(pin)) throw new Error('SIM PIN: 4 digits');
    out.push('@CPIN;' + pin);
  }
  const ctrl = phoneList('u-ctrl', 'control phones');
  out.push('@CTRLPH;' + [ctrl.length].concat(ctrl).join(';'));
  const bridgePhone = $('u-bridge-phone').value.trim();
  if (bridgePhone.length > 19 || /[;,]/.test(bridgePhone)) throw new Error('bridge phone: at most 19 characters, no ";" or ","');
  out.push('@UARTPH;' + (bridgePhone === '' ? '(CLR)' : bridgePhone));
  out.push('@UARTSET;' + [$('u-baud').value, $('u-parity').value, $('u-data').value, $('u-stop').value, $('u-bridge').value].join(';'));
  settings.counters.forEach((c, i) => {
    const count = wholeNumber('u-count-' + i, 0, 999999999, 'DI' + i + ' count');
    const preset = wholeNumber('u-preset-' + i, 0, 999999999, 'DI' + i + ' preset');
    if (count === c.count && preset === c.preset) return;
    if (preset < count + 10) throw new Error('DI' + i + ' preset: at least the count + 10');
    out.push('@ACTV' + i + ';' + count + ';' + preset);
  });
  return out;
}

async function writeUnit(ev) {
  ev.preventDefault();
  let requests;
  try { requests = unitRequests(); } catch (e) { $('u-problem').textContent = e.message; return; }
  $('u-problem').textContent = '';
  banner('');
  if (await send(requests)) {
    note('u-problem', 'written (not saved yet)', false);
    $('u-pin').value = '';
    await readUnit();
  } else {
    $('u-problem').textContent = 'the unit refused a request: see the answers below';
  }
}

async function reloadSettings() {
  try {
    settings = await call('api/settings');
    showEvents();
  } catch (e) {
    banner(e.message);
  }
}

// ---- save, backup, restore ----

async function save() {
  banner('');
  const ok = await send(['@SAVE']).catch((e) => { banner(e.message); return false; });
  banner(ok ? 'Saved in the unit.' : 'Not saved: see the answers below.', ok ? 'info' : 'error');
}

async function restore() {
  const file = $('restore-file').files[0];
  if (!file) { banner('Choose a backup file first.'); return; }
  banner('Restoring ' + file.name + '...', 'info');
  try {
    const body = await call('api/restore' + ($('restore-keep-name').checked ? '?keep_name=1' : ''), {
      method: 'POST',
      headers: { 'Content-Type': 'text/plain', 'X-QRV806-Page': '1' },
      body: await file.arrayBuffer(),
    });
    body.steps.forEach(logStep);
    if (body.saved) {
      banner('Restored ' + file.name + ' and saved.', 'info');
      logNote('restore of ' + file.name, true);
    } else {
      banner('Restore stopped: ' + body.error);
    }
    await readUnit();
    if (!body.saved) banner('Restore stopped: ' + body.error);
  } catch (e) {
    banner(e.message);
  }
}

function setUp() {
  BAUDS.forEach((b) => $('u-baud').add(new Option(b, b)));
  $('ev-kind').onchange = showKindFields;
  $('ev-ai-type').onchange = showKindFields;
  $('event-form').addEventListener('input', updateEventRequests);
  $('event-form').addEventListener('change', updateEventRequests);
  $('event-form').onsubmit = writeEvent;
  $('ev-cancel').onclick = () => { $('event-editor').classList.add('hidden'); editing = -1; };
  $('unit-form').onsubmit = writeUnit;
  $('save').onclick = save;
  $('reload').onclick = readUnit;
  $('restore').onclick = restore;
  readUnit();
}

setUp();

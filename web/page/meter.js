'use strict';
// The phone meter: readings from the server's event stream, one per poll;
// controls posted as the same commands "zenara --remote" sends.
(function () {
  const token = new URLSearchParams(location.search).get('t') || '';
  const query = '?t=' + encodeURIComponent(token);
  const $ = (id) => document.getElementById(id);
  const FlagNames = ['SIG', 'CAR', 'VIT', 'SYN', 'LCK', 'TIM', 'RNT'];
  const HistorySeconds = 60;
  const history = [];
  let lastEventAt = 0;
  let stream = null;
  let satellitesAsked = false;
  let tone = null;

  // The live view replaces the plain text once the stream is open.
  function showLive() {
    $('readings').classList.add('hidden');
    $('live').hidden = false;
  }

  function say(text) { $('reply').textContent = text || ''; }

  function command(name, args) {
    return fetch('command' + query, {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify({ command: name, args: args || [] }),
    }).then((r) => r.json().catch(() => ({ error: 'Zenara answered ' + r.status })))
      .catch(() => ({ error: 'Zenara did not answer' }))
      .then((reply) => { say(reply.error); return reply; });
  }

  let refused = false;
  function setLost(lost) {
    $('lost').hidden = !lost;
    $('lost').textContent = refused
      ? 'This link no longer works: open the new one from Zenara’s window.'
      : 'Connection to Zenara lost. Trying again…';
  }

  function bar(id, fraction, quality) {
    const el = $(id);
    const f = Math.max(0, Math.min(1, fraction || 0));
    el.style.width = (f * 100).toFixed(1) + '%';
    el.className = quality;
  }

  function quality(fraction, red, amber) {
    return fraction < red ? 'low' : fraction < amber ? 'mid' : '';
  }

  function number(v, decimals, unit) {
    return typeof v === 'number' ? v.toFixed(decimals) + unit : '–';
  }

  // 1e-2 and worse empty, 1e-8 and better full.
  function berFraction(ber) {
    if (typeof ber !== 'number') return 0;
    if (ber <= 0) return 1;
    return (-Math.log10(ber) - 2) / 6;
  }

  function showFlags(flags) {
    const spans = $('flags').children;
    for (let i = 0; i < FlagNames.length; ++i)
      spans[i].classList.toggle('on', !!(flags && flags[FlagNames[i]]));
  }

  function dishText(s) {
    if (typeof s.dish_angle !== 'number') return '–';
    const a = s.dish_angle;
    return Math.abs(a).toFixed(1) + '°' + (a < 0 ? 'W' : 'E') + (s.moving ? ' ⇄' : '');
  }

  function show(s) {
    $('satellite').textContent = s.satellite || 'Zenara';
    showFlags(s.flags);
    const agc = typeof s.agc === 'number' ? s.agc / 100 : 0;
    const snr = typeof s.snr === 'number' ? s.snr / 100 : 0;
    const ber = berFraction(s.ber);
    bar('agcBar', agc, '');
    bar('snrBar', snr, quality(snr, 0.3, 0.4));
    bar('berBar', ber, quality(ber, 0.3, 0.44));
    $('agc').textContent = number(s.agc, 0, '%');
    $('snr').textContent = number(s.snr, 0, '%');
    $('ber').textContent = typeof s.ber === 'number' ? s.ber.toExponential(1) : '–';
    $('cn').textContent = number(s.cn_db, 1, ' dB');
    $('margin').textContent = number(s.margin_db, 1, ' dB');
    $('dish').textContent = dishText(s);
    const net = $('network');
    net.textContent = s.network_line || '';
    net.className = 'network' + (s.network && s.network.matches === true ? ' match'
      : s.network && s.network.matches === false ? ' mismatch' : '');
    record(s);
    if (tone) tone.follow(s.tone_hz);
  }

  function record(s) {
    const now = Date.now();
    history.push({ at: now, agc: s.agc, snr: s.snr, locked: s.locked });
    while (history.length && history[0].at < now - HistorySeconds * 1000) history.shift();
    drawHistory(now);
  }

  function drawHistory(now) {
    const canvas = $('history');
    const g = canvas.getContext && canvas.getContext('2d');
    if (!g) { canvas.hidden = true; return; }
    const w = canvas.width, h = canvas.height;
    g.fillStyle = '#fff';
    g.fillRect(0, 0, w, h);
    const x = (at) => w - (now - at) / (HistorySeconds * 1000) * w;
    const line = (key, colour) => {
      g.strokeStyle = colour;
      g.lineWidth = 2;
      g.beginPath();
      let drawing = false;
      for (const p of history) {
        if (typeof p[key] !== 'number') { drawing = false; continue; }
        const y = h - p[key] / 100 * (h - 4) - 2;
        if (drawing) g.lineTo(x(p.at), y); else g.moveTo(x(p.at), y);
        drawing = true;
      }
      g.stroke();
    };
    line('agc', '#070');
    line('snr', '#000');
  }

  // The tone: an oscillator whose pitch is the desktop tone's, started by a
  // tap as browsers require.
  function Tone() {
    const Context = window.AudioContext || window.webkitAudioContext;
    this.context = new Context();
    this.oscillator = this.context.createOscillator();
    this.gain = this.context.createGain();
    this.gain.gain.value = 0;
    this.oscillator.connect(this.gain).connect(this.context.destination);
    this.oscillator.start();
  }
  Tone.prototype.follow = function (hz) {
    const t = this.context.currentTime;
    if (typeof hz === 'number' && hz > 0) {
      this.oscillator.frequency.setTargetAtTime(Math.min(hz, 8000), t, 0.03);
      this.gain.gain.setTargetAtTime(0.2, t, 0.03);
    } else {
      this.gain.gain.setTargetAtTime(0, t, 0.03);
    }
  };
  Tone.prototype.stop = function () { this.context.close(); };

  function toggleTone() {
    const button = $('tone');
    if (tone) {
      tone.stop();
      tone = null;
    } else {
      try { tone = new Tone(); } catch (e) { say('This browser cannot play the tone'); return; }
    }
    button.textContent = tone ? 'Tone on' : 'Tone off';
    button.setAttribute('aria-pressed', tone ? 'true' : 'false');
  }

  function fillSatellites() {
    command('satellites').then((reply) => {
      if (!reply.satellites) { satellitesAsked = false; return; }
      const select = $('satellites');
      while (select.options.length > 1) select.remove(1);
      for (const s of reply.satellites) {
        const option = document.createElement('option');
        option.value = s.position;
        option.textContent = s.label || (s.position + ' ' + s.name);
        select.appendChild(option);
      }
    });
  }

  function goToSatellite() {
    const position = $('satellites').value;
    if (!position) { say('Choose a satellite first'); return; }
    command('satellite', [position]).then((r) => { if (!r.error) command('go'); });
  }

  // A stream the server closed for good (stopped, or a new token) is opened
  // again every few seconds; a refused one says the link is old.
  function connect() {
    stream = new EventSource('events' + query);
    showLive();
    stream.onmessage = (e) => {
      lastEventAt = Date.now();
      refused = false;
      setLost(false);
      if (!satellitesAsked) { satellitesAsked = true; fillSatellites(); }
      show(JSON.parse(e.data));
    };
    stream.onerror = () => {
      if (stream.readyState !== EventSource.CLOSED) return;
      fetch('events' + query, { method: 'HEAD' }).then((r) => {
        refused = r.status === 403;
        setLost(true);
      }).catch(() => {});
      setTimeout(connect, 3000);
    };
  }

  setInterval(() => {
    if (Date.now() - lastEventAt > 2000) setLost(true);
  }, 500);

  // Halt without leaving the page (the form is for browsers without scripts).
  $('haltForm').addEventListener('submit', (e) => { e.preventDefault(); command('halt'); });
  $('go').addEventListener('click', goToSatellite);
  $('finetune').addEventListener('click', () => command('autotune'));
  $('tone').addEventListener('click', toggleTone);
  for (const button of document.querySelectorAll('[data-drive]'))
    button.addEventListener('click', () => command('drive', button.dataset.drive.split(' ')));
  connect();
})();

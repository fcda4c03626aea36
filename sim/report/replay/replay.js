// Plays a homestead-sim run back from the data the simulator wrote into the
// page. Times are milliseconds of simulated time, truncated like the
// timeline's stamps, so a stamp's time shows the state its line describes.
// Moving things are stored as key samples and interpolated between them.
'use strict';
(() => {
  const data = JSON.parse(document.getElementById('replay-data').textContent);
  const SVG = 'http://www.w3.org/2000/svg';
  const $ = (id) => document.getElementById(id);
  const HASH_EVERY_MS = 250;  // the address follows playback at most this often

  const pad = (n, width) => String(n).padStart(width, '0');
  const clockText = (minute) => pad(Math.floor(minute / 60), 2) + ':' + pad(minute % 60, 2);
  const simText = (ms) => {
    const whole = Math.floor(ms);
    return Math.floor(whole / 60000) + ':' + pad(Math.floor(whole / 1000) % 60, 2) + '.' +
        pad(whole % 1000, 3);
  };

  // The index of the last entry whose time (entry[0], or key(entry)) is at
  // most `t`, or -1.
  function lastAtOrBefore(list, t, key = (e) => e[0]) {
    let lo = 0;
    let hi = list.length;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (key(list[mid]) <= t) lo = mid + 1; else hi = mid;
    }
    return lo - 1;
  }

  // [x, y] on a track of [ms, x, y] keys at time t: held before the first
  // key and after the last, linear in between.
  function positionAt(track, t) {
    const i = lastAtOrBefore(track, t);
    if (i < 0) return [track[0][1], track[0][2]];
    const a = track[i];
    const b = track[i + 1];
    if (b === undefined || b[0] === a[0]) return [a[1], a[2]];
    const f = (t - a[0]) / (b[0] - a[0]);
    return [a[1] + (b[1] - a[1]) * f, a[2] + (b[2] - a[2]) * f];
  }

  const activeAt = (span, t) => span[0] <= t && (span[1] === null || t < span[1]);
  const frameMs = (k) => Math.floor(k * 1000 / data.fps);

  // --- The timeline's lines -------------------------------------------------
  const STAMP = /^(\d\d:\d\d) {2}(\d+):(\d\d)\.(\d{3}) {2}(.*)$/;
  const lines = [];  // {ms, text, body (the text after the stamp), li}
  const unstamped = [];
  for (const text of data.timeline) {
    const m = STAMP.exec(text);
    if (m) {
      lines.push({ms: (+m[2] * 60 + +m[3]) * 1000 + +m[4], text, body: m[5], li: null});
    } else {
      unstamped.push(text);
    }
  }
  // The runner's "! why" lines: where the run failed.
  const failures = lines.filter((l) => l.body.startsWith('! '));

  // --- The map --------------------------------------------------------------
  const centre = data.centre;
  const el = (name, attrs, parent) => {
    const node = document.createElementNS(SVG, name);
    for (const [k, v] of Object.entries(attrs)) node.setAttribute(k, v);
    if (parent) parent.appendChild(node);
    return node;
  };
  const num = (v) => v.toFixed(2);
  // World metres to panel units: the centre in the middle, north up.
  const px = (x) => x - centre[0];
  const py = (y) => centre[1] - y;

  // One panel: a square window of `radius` metres around `origin`, with
  // markers of `mark` metres' radius and text `font` metres high.
  function makePanel(svg, radius, mark, font, origin) {
    const ox = px(origin[0]);
    const oy = py(origin[1]);
    svg.setAttribute('viewBox', `${num(ox - radius)} ${num(oy - radius)} ${2 * radius} ${2 * radius}`);
    const panel = {svg, radius, mark, font, layers: {}};
    for (const name of ['ground', 'paths', 'blips', 'things', 'labels']) {
      panel.layers[name] = el('g', {class: name}, svg);
    }
    return panel;
  }

  const overview = makePanel($('overview'), data.overviewRadius, 3.2, 8, centre);
  const yard = makePanel($('yard'), data.yardRadius, 0.3, 0.55, centre);
  const panels = [overview, yard];
  $('overview-caption').textContent =
      `The encounter area, ${2 * data.overviewRadius} m across, north up.`;
  $('yard-caption').textContent = `The yard, ${2 * data.yardRadius} m across.`;

  function drawGround(panel) {
    const g = panel.layers.ground;
    const step = panel.radius > 50 ? 50 : 2;
    for (let d = -Math.floor(panel.radius / step) * step; d <= panel.radius; d += step) {
      el('line', {class: 'grid', x1: d, y1: -panel.radius, x2: d, y2: panel.radius}, g);
      el('line', {class: 'grid', x1: -panel.radius, y1: d, x2: panel.radius, y2: d}, g);
    }
    const house = panel.mark * 2.2;
    el('rect', {class: 'house', x: num(-house / 2), y: num(-house / 2), width: num(house),
      height: num(house)}, g);
    const font = panel.font;
    for (const ring of data.rings) {
      const at = ring.around === 'loot' ? data.lootSpot : centre;
      const r = ring.metres;
      // A ring too small or too large for the panel says nothing there.
      if (r * 2 < panel.mark * 3 || r > panel.radius * 1.5) continue;
      const circle = el('circle', {class: 'ring', cx: num(px(at[0])), cy: num(py(at[1])), r}, g);
      el('title', {}, circle).textContent = `${r} m: ${ring.meaning}`;
      const label = el('text', {class: 'ring-label', x: num(px(at[0]) + r * 0.72),
        y: num(py(at[1]) - r * 0.72), 'font-size': num(font)}, panel.layers.labels);
      label.textContent = `${r} m`;
    }
  }
  panels.forEach(drawGround);

  // SVG elements have no `hidden` property: the attribute does it.
  const show = (node, visible) => {
    if (node.hasAttribute('hidden') === visible) node.toggleAttribute('hidden', !visible);
  };

  // Markers: one <g> per thing per panel, moved by its transform.
  function marker(panel, cls, label, attrs = {}) {
    const g = el('g', {class: cls, ...attrs}, panel.layers.things);
    el('circle', {r: num(panel.mark)}, g);
    const c = panel.mark * 0.9;
    el('path', {class: 'cross', d: `M${num(-c)} ${num(-c)}L${num(c)} ${num(c)}M${num(-c)} ${num(c)}L${num(c)} ${num(-c)}`}, g);
    if (label) {
      const text = el('text', {x: num(panel.mark * 1.3), y: num(-panel.mark * 1.1),
        'font-size': num(panel.font)}, g);
      text.textContent = label;
    }
    return g;
  }

  const player = {track: data.player, views: panels.map((p, i) => ({
    g: marker(p, 'player', 'player', i === 0 ? {id: 'player'} : {}),
    path: el('polyline', {class: 'path'}, p.layers.paths),
  }))};
  el('title', {}, player.views[0].g).textContent = 'the player';
  for (const v of player.views) show(v.g, player.track.length > 0);

  // An occupant removed in the frame that made him was never seen in place.
  const placed = data.occupants.filter((o) => o.track.length > 0);
  const occupants = placed.map((o, n) => {
    const later = placed.find((p, m) => m > n && p.set > o.set);
    const shown = [o.track[0][0], later ? later.track[0][0] : null];
    return {
      ...o, shown, views: panels.map((p) => ({
        g: marker(p, 'occupant', String(o.k), {'data-occupant': o.k, 'data-set': o.set}),
        flight: el('polyline', {class: 'flight'}, p.layers.paths),
      })),
    };
  });

  const money = data.money.map((m) => ({...m, views: panels.map((p) => {
    const g = el('g', {class: 'money'}, p.layers.things);
    const s = p.mark * 1.4;
    el('rect', {x: num(-s / 2), y: num(-s / 2), width: num(s), height: num(s * 0.7)}, g);
    el('title', {}, g).textContent = 'the money stack';
    g.setAttribute('transform', `translate(${num(px(m.at[0]))} ${num(py(m.at[1]))})`);
    return g;
  })}));

  const blips = data.blips.map((b) => ({...b, views: panels.map((p) => {
    const g = el('g', {}, p.layers.blips);
    el('circle', {class: `blip ${b.kind}`, r: num(p.mark * (b.kind === 'home' ? 2.2 : 1.7))}, g);
    // Labels in the yard only: in the overview the blips lie on top of each other.
    if (b.label && p === yard) {
      // The money's label to its left, others under their blip.
      const left = b.kind === 'loot';
      const text = el('text', {class: 'blip-label', x: num(left ? -p.mark * 2.4 : 0),
        y: num(p.mark * (left ? -2.4 : 5)), 'font-size': num(p.font),
        'text-anchor': left ? 'end' : 'middle'}, g);
      text.textContent = b.label;
    }
    el('title', {}, g).textContent = `blip${b.label ? ' "' + b.label + '"' : ''} (${b.kind})`;
    return g;
  })}));

  const stateAt = (o, t) => {
    const i = lastAtOrBefore(o.states, t);
    return i < 0 ? null : o.states[i][1];
  };
  const pointsText = (track, t, now) => {
    const end = lastAtOrBefore(track, t);
    let text = '';
    for (let i = 0; i <= end; ++i) text += `${num(px(track[i][1]))},${num(py(track[i][2]))} `;
    return text + `${num(px(now[0]))},${num(py(now[1]))}`;
  };
  // Attributes are written only when they change: every write makes the
  // browser look at the element's style again.
  const set = (node, name, value) => {
    if (node.getAttribute(name) !== value) node.setAttribute(name, value);
  };
  const place = (g, at) => set(g, 'transform', `translate(${num(px(at[0]))} ${num(py(at[1]))})`);

  function drawMap(t) {
    drawPlayer(t);
    drawOthers(t);
  }

  function drawPlayer(t) {
    if (player.track.length === 0) return;
    const at = positionAt(player.track, t);
    for (const v of player.views) {
      place(v.g, at);
      set(v.path, 'points', pointsText(player.track, t, at));
    }
    set(player.views[0].g, 'data-x', num(at[0]));
    set(player.views[0].g, 'data-y', num(at[1]));
  }

  function drawOthers(t) {
    for (const o of occupants) {
      const visible = activeAt(o.shown, t);
      const state = stateAt(o, t);
      const here = positionAt(o.track, t);
      const fled = o.states.find((s) => s[1] === 'fleeing');
      for (const v of o.views) {
        show(v.g, visible);
        show(v.flight, visible && fled !== undefined && fled[0] <= t);
        if (!visible) continue;
        place(v.g, here);
        set(v.g, 'data-state', state);
        set(v.g, 'data-x', num(here[0]));
        set(v.g, 'data-y', num(here[1]));
        if (fled !== undefined && fled[0] <= t) {
          const from = lastAtOrBefore(o.track, fled[0]);
          const trail = o.track.slice(Math.max(from, 0));
          set(v.flight, 'points', pointsText(trail, t, here));
        }
      }
    }
    for (const m of money) for (const g of m.views) show(g, activeAt([m.from, m.to], t));
    for (const b of blips) {
      const visible = activeAt([b.from, b.to], t);
      let where = b.at;
      if (visible && b.occupant !== undefined) {
        const o = occupants.find((c) => c.k === b.occupant && c.set === b.set);
        if (o) where = positionAt(o.track, t);
      }
      for (const g of b.views) {
        show(g, visible);
        if (visible) place(g, where);
      }
    }
  }

  // --- Story: lines, subtitle, objective ------------------------------------
  const list = $('lines');
  const milestoneLine = / {2}\[[a-z-]+[,\]]/;
  lines.forEach((line, i) => {
    const li = document.createElement('li');
    const button = document.createElement('button');
    button.type = 'button';
    button.tabIndex = -1;
    button.textContent = line.text;
    button.dataset.index = i;
    li.appendChild(button);
    if (line.body.includes('warning:') || line.body.startsWith('! ')) li.className = 'warning';
    if (milestoneLine.test(line.text)) li.classList.add('milestone');
    line.li = li;
    list.appendChild(li);
  });
  list.addEventListener('click', (event) => {
    const button = event.target.closest('button');
    if (!button) return;
    pause();
    const i = +button.dataset.index;
    pinned = i;
    seek(lines[i].ms);
  });

  $('title').textContent = data.title;
  document.title = data.title;
  $('about').textContent = data.subtitle;
  const verdict = $('verdict');
  if (data.passed) {
    verdict.textContent = 'Passed: every action was carried out and every expectation held.';
  } else {
    verdict.textContent = 'FAILED at ' + data.failure;
    verdict.classList.add('failed');
  }
  $('summary').textContent = unstamped.join('\n');

  // Where each line sits in the list, measured again only when the list's
  // size changes, so that following the current line never makes the browser
  // lay the page out in the middle of a frame. The list is scrolled (within
  // itself, so the page stays put) at the start of the next frame, when the
  // layout is still clean.
  let lineTops = null;
  let listHeight = 0;
  let listScroll = 0;
  let wantScroll = null;
  let listSize = null;  // as the observer last saw it; its first report changes nothing
  new ResizeObserver(([entry]) => {
    const size = `${entry.contentRect.width}x${entry.contentRect.height}`;
    if (listSize !== null && size !== listSize) lineTops = null;
    listSize = size;
  }).observe(list);
  list.addEventListener('scroll', () => { listScroll = list.scrollTop; }, {passive: true});
  function followLine(i) {
    if (lineTops === null) {
      lineTops = lines.map((l) => l.li.offsetTop - list.offsetTop);
      listHeight = list.clientHeight;
    }
    const top = lineTops[i];
    const bottom = i + 1 < lines.length ? lineTops[i + 1] : top;
    if (top < listScroll || bottom > listScroll + listHeight) {
      wantScroll = Math.max(0, top - listHeight / 3);
      listScroll = wantScroll;
    }
  }
  function applyScroll() {
    if (wantScroll === null) return;
    list.scrollTop = wantScroll;
    wantScroll = null;
  }

  let current = -1;  // the highlighted line
  let pinned = -1;   // a line chosen by a click, kept while its time is shown
  function drawStory(t) {
    let i = lastAtOrBefore(lines, t, (l) => l.ms);
    if (pinned >= 0 && lines[pinned].ms === Math.floor(t)) i = pinned;
    if (i !== current) {
      if (current >= 0) {
        lines[current].li.classList.remove('current');
        lines[current].li.firstChild.tabIndex = -1;
        lines[current].li.firstChild.removeAttribute('aria-current');
      }
      current = i;
      if (i >= 0) {
        const li = lines[i].li;
        li.classList.add('current');
        li.firstChild.tabIndex = 0;
        li.firstChild.setAttribute('aria-current', 'true');
        followLine(i);
      }
    }
    const speaking = data.speech.filter((s) => activeAt(s, t));
    const key = speaking.map((s) => s[2]).join('\n');
    const subtitle = $('subtitle');
    if (subtitle.dataset.key !== key) {
      subtitle.dataset.key = key;
      subtitle.replaceChildren(...speaking.map((s) => {
        const p = document.createElement('p');
        const m = /^(.*?) says (.*?)(, variation \d+)$/.exec(s[2]);
        if (m) {
          const who = document.createElement('b');
          who.textContent = m[1];
          const variation = document.createElement('small');
          variation.textContent = m[3];
          p.append(who, ' says ', m[2], variation);
        } else {
          p.textContent = s[2];
        }
        return p;
      }));
    }
    const shown = data.objectives.find((o) => activeAt(o, t));
    const objective = shown ? shown[2] : '';
    if ($('objective').textContent !== objective) $('objective').textContent = objective;
  }

  // --- Time and controls ----------------------------------------------------
  const end = data.endMs;
  const scrubber = $('scrubber');
  scrubber.max = end;
  const marks = $('marks');
  const mark = (ms, cls, title) => {
    const span = document.createElement('span');
    span.style.left = `${(100 * ms / Math.max(end, 1)).toFixed(3)}%`;
    if (cls) span.className = cls;
    span.title = title;
    marks.appendChild(span);
  };
  for (const [ms, name, homestead] of data.milestones) {
    mark(ms, '', `${simText(ms)} ${name} (homestead ${homestead})`);
  }
  for (const line of failures) mark(line.ms, 'failure', line.text);

  let now = 0;
  let playing = false;
  let speed = 1;
  let lastFrame = null;  // the time stamp of the frame before, while playing
  let lastHash = -Infinity;
  const clock = $('clock');
  const playButton = $('play');

  function clockAt(t) {
    const i = lastAtOrBefore(data.clock, t);
    return data.clock[Math.max(i, 0)][1];
  }

  // The millisecond the clock shows, so that the address reopens that moment.
  function writeHash() {
    const seconds = (Math.floor(now) / 1000).toString();
    history.replaceState(null, '', '#t=' + seconds);
  }

  function render() {
    const t = now;
    const text = clockText(clockAt(t)) + '  ' + simText(t);
    if (clock.textContent !== text) clock.textContent = text;
    if (+scrubber.value !== Math.floor(t)) scrubber.value = Math.floor(t);
    set(scrubber, 'aria-valuetext', text);
    drawMap(t);
    drawStory(t);
  }

  function seek(t) {
    now = Math.min(Math.max(t, 0), end);
    if (pinned >= 0 && lines[pinned].ms !== Math.floor(now)) pinned = -1;
    render();
    applyScroll();
    writeHash();
  }

  // Frame timing for scripts that measure the page: the time spent in each
  // frame's work since play was pressed, for the first ten minutes of it.
  const perf = {workMs: []};
  const PERF_FRAMES = 36000;
  window.replayPerf = perf;

  function setPlaying(on) {
    playing = on;
    playButton.setAttribute('aria-label', on ? 'Pause' : 'Play');
    document.documentElement.dataset.playing = on ? 'true' : 'false';
    if (on) {
      if (now >= end) now = 0;
      lastFrame = null;
      lastHash = performance.now();
      perf.workMs = [];
      requestAnimationFrame(tick);
    } else {
      writeHash();
    }
  }
  const pause = () => setPlaying(false);

  function tick(stamp) {
    if (!playing) return;
    const started = performance.now();
    applyScroll();
    // The first frame after play only sets the pace: its time stamp may come
    // from before the click.
    if (lastFrame !== null) now = Math.min(now + Math.max(stamp - lastFrame, 0) * speed, end);
    lastFrame = stamp;
    pinned = -1;
    render();
    // Outside the frame's own work: a history entry costs more than a frame.
    if (started - lastHash >= HASH_EVERY_MS) {
      lastHash = started;
      setTimeout(writeHash, 0);
    }
    if (now >= end) {
      pause();
    } else {
      requestAnimationFrame(tick);
    }
    if (perf.workMs.length < PERF_FRAMES) perf.workMs.push(performance.now() - started);
  }

  // The frame drawn at or before t, and the one before or after it.
  function frameStep(direction) {
    let k = Math.floor(now * data.fps / 1000);
    while (frameMs(k + 1) <= now) ++k;
    while (k > 0 && frameMs(k) > now) --k;
    seek(frameMs(Math.max(k + direction, 0)));
  }

  function milestoneStep(direction) {
    const times = data.milestones.map((m) => m[0]).concat(failures.map((l) => l.ms));
    times.sort((a, b) => a - b);
    const t = Math.floor(now);
    const next = direction > 0 ? times.find((m) => m > t) : times.reverse().find((m) => m < t);
    seek(next === undefined ? (direction > 0 ? end : 0) : next);
  }

  playButton.addEventListener('click', () => setPlaying(!playing));
  $('back-frame').addEventListener('click', () => { pause(); frameStep(-1); });
  $('next-frame').addEventListener('click', () => { pause(); frameStep(1); });
  $('back-second').addEventListener('click', () => { pause(); seek(now - 1000); });
  $('next-second').addEventListener('click', () => { pause(); seek(now + 1000); });
  $('prev-milestone').addEventListener('click', () => { pause(); milestoneStep(-1); });
  $('next-milestone').addEventListener('click', () => { pause(); milestoneStep(1); });
  const speedSelect = $('speed');
  speedSelect.addEventListener('change', () => { speed = +speedSelect.value; });
  scrubber.addEventListener('input', () => {
    pause();
    seek(+scrubber.value);
  });

  document.addEventListener('keydown', (event) => {
    if (event.altKey || event.ctrlKey || event.metaKey) return;
    const target = event.target;
    const inControl = target instanceof HTMLSelectElement ||
        (target instanceof HTMLButtonElement && (event.key === ' ' || event.key === 'Enter'));
    if (inControl) return;
    switch (event.key) {
      case ' ':
        setPlaying(!playing);
        break;
      case 'ArrowLeft':
        pause();
        if (event.shiftKey) seek(now - 1000); else frameStep(-1);
        break;
      case 'ArrowRight':
        pause();
        if (event.shiftKey) seek(now + 1000); else frameStep(1);
        break;
      case 'ArrowUp':
        pause();
        milestoneStep(-1);
        break;
      case 'ArrowDown':
        pause();
        milestoneStep(1);
        break;
      case 'Home':
        pause();
        seek(0);
        break;
      case 'End':
        pause();
        seek(end);
        break;
      default:
        return;
    }
    event.preventDefault();
  });

  // "#t=64.35": seconds of simulated time.
  function timeFromHash() {
    const m = /^#t=(\d+(?:\.\d*)?)$/.exec(location.hash);
    return m ? Math.round(parseFloat(m[1]) * 1000) : null;
  }
  window.addEventListener('hashchange', () => {
    const t = timeFromHash();
    if (t !== null && t !== Math.floor(now)) {
      pause();
      seek(t);
    }
  });

  now = Math.min(timeFromHash() ?? 0, end);
  render();
  applyScroll();
  document.documentElement.dataset.ready = performance.now().toFixed(1);
})();

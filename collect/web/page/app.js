// The live view of the station network: the stations' facts, then every new line, pushed as
// Server-Sent Events and drawn at once. No library, no download.
"use strict";

const SPAN = 600;  // points kept and drawn per station: ten minutes of one-second lines
const stationen = {};
const main = document.getElementById("stationen");
const verbindung = document.getElementById("verbindung");

function element(tag, cls, text) {
  const e = document.createElement(tag);
  if (cls) e.className = cls;
  if (text !== undefined) e.textContent = text;
  return e;
}

function zeit(iso) {
  if (!iso) return "–";
  const d = new Date(iso);
  return d.toLocaleString("de-DE", { timeZone: "UTC" }) + " UTC";
}

function dauer(s) {
  if (s === null || s === undefined) return "–";
  if (s < 120) return s + " s";
  if (s < 7200) return Math.round(s / 60) + " min";
  return Math.round(s / 3600) + " h";
}

function karte(name) {
  let st = stationen[name];
  if (st) return st;
  const box = element("section", "station");
  box.id = "station-" + name;
  box.appendChild(element("h2", "", name));
  const dl = element("dl");
  const feld = {};
  for (const [key, label] of [["status", "Zustand"], ["zeile", "Letzte Zeile"], ["werte", "Werte"],
                              ["rueckstand", "Rückstand"], ["uhr", "Uhr"], ["k", "K-Index"],
                              ["ort", "Ort"], ["koord", "Koordinaten"], ["betreiber", "Betreiber"]]) {
    dl.appendChild(element("dt", "", label));
    feld[key] = dl.appendChild(element("dd", key === "werte" ? "wert" : "", "–"));
  }
  feld.werte.id = "werte-" + name;
  box.appendChild(dl);
  const canvas = element("canvas", "live");
  canvas.setAttribute("aria-label", "Verlauf der letzten zehn Minuten");
  box.appendChild(canvas);
  const bild = element("img", "tag");
  bild.alt = "Magnetogramm des Tages";
  bild.onerror = () => { bild.style.display = "none"; };
  bild.onload = () => { bild.style.display = ""; };
  box.appendChild(bild);
  const namen = Object.keys(stationen).concat(name).sort();
  const next = namen[namen.indexOf(name) + 1];
  main.insertBefore(box, next ? stationen[next].box : null);
  st = stationen[name] = { box, feld, canvas, bild, punkte: [], zu: false };
  ladeBild(st, name);
  return st;
}

function ladeBild(st, name) {
  st.bild.src = "magnetogram/" + encodeURIComponent(name) + ".png?t=" + Date.now();
}

function zeigeFakten(f) {
  const st = karte(f.station);
  st.feld.status.textContent = f.online ? "online" : "offline";
  st.feld.status.className = f.online ? "an" : "aus";
  st.feld.zeile.textContent = zeit(f.last_line_time);
  const rueckstand = [];
  if (f.backlog !== null) rueckstand.push(f.backlog + (f.backlog === 1 ? " Zeile wartet" : " Zeilen warten"));
  if (f.lag_s !== null) rueckstand.push("Verzug " + dauer(Math.max(0, f.lag_s)));
  st.feld.rueckstand.textContent = rueckstand.join(", ") || "–";
  st.feld.uhr.textContent = f.clock_ok === null ? "–" : (f.clock_ok ? "in Toleranz" : "außer Toleranz");
  st.feld.k.textContent = f.k === null ? "–" : f.k + " (" + f.activity_text + ")";
  const r = f.record;
  if (r) {
    st.feld.ort.textContent = r.location || "–";
    st.feld.koord.textContent = [r.latitude, r.longitude, r.locator].filter(x => x).join(", ") || "–";
    st.feld.betreiber.textContent = r.author || "–";
  }
}

function zeigeZeile(z) {
  const st = karte(z.station);
  st.feld.zeile.textContent = zeit(z.time);
  st.feld.werte.textContent = Object.entries(z.values).map(([k, v]) => k + " " + v).join("  ");
  st.punkte.push(z.values);
  if (st.punkte.length > SPAN) st.punkte.shift();
  if (!st.zu) {
    st.zu = true;
    requestAnimationFrame(() => { st.zu = false; zeichne(st); });
  }
}

const FARBEN = ["#c00", "#06c", "#080", "#a60"];

function zeichne(st) {
  const c = st.canvas, w = c.clientWidth, h = c.clientHeight;
  if (c.width !== w || c.height !== h) { c.width = w; c.height = h; }
  const g = c.getContext("2d");
  g.clearRect(0, 0, w, h);
  const namen = st.punkte.length ? Object.keys(st.punkte[st.punkte.length - 1]) : [];
  namen.forEach((k, i) => {
    let lo = Infinity, hi = -Infinity;
    for (const p of st.punkte) if (k in p) { lo = Math.min(lo, p[k]); hi = Math.max(hi, p[k]); }
    const range = hi - lo || 1;
    g.strokeStyle = FARBEN[i % FARBEN.length];
    g.beginPath();
    st.punkte.forEach((p, j) => {
      if (!(k in p)) return;
      const x = w - (st.punkte.length - 1 - j) * w / SPAN, y = h - 4 - (p[k] - lo) / range * (h - 8);
      if (j === 0) g.moveTo(x, y); else g.lineTo(x, y);
    });
    g.stroke();
    g.fillStyle = g.strokeStyle;
    g.fillText(k, 4, 12 + 12 * i);
  });
}

// The browser reconnects an event stream by itself.
const live = new EventSource("live");
live.onopen = () => { verbindung.textContent = "Live verbunden"; };
live.onerror = () => { verbindung.textContent = "Verbindung unterbrochen; neuer Versuch …"; };
live.onmessage = (e) => {
  const m = JSON.parse(e.data);
  if (m.stations) m.stations.forEach(zeigeFakten);
  if (m.facts) zeigeFakten(m.facts);
  if (m.line) zeigeZeile(m.line);
};
setInterval(() => { for (const [name, st] of Object.entries(stationen)) ladeBild(st, name); }, 60000);

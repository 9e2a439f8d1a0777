// A text box whose text is exactly the string it was given, shown in a
// <textarea>.
//
// A textarea cannot hold the program's text: it turns CR LF and a lone CR into
// LF and shows NUL and most control characters as nothing. So the box keeps
// the text itself, as a string, and the textarea shows it the way the window
// shows it: the box's own line break (CR LF in the clear-text box, LF in the
// cipher box) as a line break, every other control character (but tab and
// the codes 128-159, which browsers draw as boxes) as its Unicode picture,
// U+2400 onward. Edits in the textarea are read back as edits of the text:
// what the user types or pastes is kept as typed, with any line break made
// the box's own.
//
// A textarea also lays out every line and character it holds, at about 20 µs
// a line and 0.6 µs a character in Chromium: half a minute for the million
// lines of a long cipher text. So it holds at most a window of the text, some
// thousand lines around the part in view, and the box moves the window as
// the textarea is scrolled near its ends.

const kPictureBase = 0x2400; // U+2400 SYMBOL FOR NULL .. U+241F
const kDeletePicture = 0x2421; // U+2421 SYMBOL FOR DELETE

// The largest window of text the textarea is given at once: about 30 ms of
// layout either way.
const kWindowLines = 1500;
const kWindowChars = 50000;

function pictureOf(c) {
  return String.fromCharCode(c === "\x7f" ? kDeletePicture : kPictureBase + c.charCodeAt(0));
}

// The text as the textarea shows it.
function toDisplay(text, crlf) {
  if (crlf) {
    return text.replace(/\r\n|[\x00-\x08\x0a-\x1f\x7f]/g, (c) => (c.length === 2 ? "\n" : pictureOf(c)));
  }
  return text.replace(/[\x00-\x08\x0b-\x1f\x7f]/g, pictureOf);
}

function isHighSurrogate(code) {
  return code >= 0xd800 && code <= 0xdbff;
}

function isLowSurrogate(code) {
  return code >= 0xdc00 && code <= 0xdfff;
}

function commonPrefix(a, b, limit) {
  // Whole blocks first: comparing strings is done natively, and fast.
  let n = 0;
  for (let block = 65536; block >= 1; block >>= 4) {
    while (n + block <= limit && a.substr(n, block) === b.substr(n, block)) n += block;
  }
  return n;
}

function commonSuffix(a, b, limit) {
  let n = 0;
  for (let block = 65536; block >= 1; block >>= 4) {
    while (n + block <= limit && a.substr(a.length - n - block, block) === b.substr(b.length - n - block, block)) {
      n += block;
    }
  }
  return n;
}

class CodeTextBox {
  constructor(area, lineBreak) {
    this.area = area;
    this.lineBreak = lineBreak;
    this.crlf = lineBreak === "\r\n";
    this.text = "";
    this.start = 0; // the window: text[start, end) is in the textarea
    this.end = 0;
    this.shown = ""; // what the textarea holds, as the box last set it or read it
    this.held = null; // a selection wider than the window; see exactSelection()
    this.undoSteps = [];
    this.redoSteps = [];
    this.moving = false;
    this.composing = false;
    this.mirror = null;

    area.value = "";
    area.addEventListener("beforeinput", (event) => this.beforeInput(event));
    area.addEventListener("input", (event) => this.afterInput(event));
    // The window stays put while an input method composes in it.
    area.addEventListener("compositionstart", () => (this.composing = true));
    area.addEventListener("compositionend", () => {
      this.composing = false;
      this.afterInput({ isComposing: false });
    });
    area.addEventListener("keydown", (event) => this.keyDown(event));
    area.addEventListener("copy", (event) => this.copy(event, false));
    area.addEventListener("cut", (event) => this.copy(event, true));
    area.addEventListener("scroll", () => this.scrolled());
  }

  // Replaces the whole text; the box shows its start, and nothing can be
  // undone past this.
  setText(text) {
    this.text = text;
    this.undoSteps = [];
    this.redoSteps = [];
    this.held = null;
    const [start, end] = this.windowAround(0);
    this.show(start, end);
    this.area.setSelectionRange(0, 0);
    this.area.scrollTop = 0;
    this.area.scrollLeft = 0;
  }

  // ---- Windows of the text --------------------------------------------------

  // A position at most `lines` line starts and at most `chars` characters
  // before `from`: a line start where the lines are short enough.
  linesBack(from, lines, chars) {
    let start = from;
    for (let line = 0; line < lines && start > 0; line++) {
      const earlier = start >= 2 ? this.text.lastIndexOf("\n", start - 2) + 1 : 0;
      if (from - earlier > chars) return from - chars;
      start = earlier;
    }
    return start;
  }

  // The window that shows `pos`: the whole text when it is small enough, else
  // half a window's lines before `pos` and the rest after it.
  windowAround(pos) {
    const start = this.linesBack(pos, kWindowLines / 2 + 1, kWindowChars / 2);
    return [start, this.windowEnd(start)];
  }

  // The end of a window that starts at `start`.
  windowEnd(start) {
    const text = this.text;
    let end = start;
    for (let line = 0; line < kWindowLines && end < text.length; line++) {
      const next = text.indexOf("\n", end);
      const lineEnd = next < 0 ? text.length : next + 1;
      if (lineEnd - start > kWindowChars) {
        end = Math.max(end, start + kWindowChars);
        break;
      }
      end = lineEnd;
    }
    return Math.min(end, text.length);
  }

  // A window edge moved off the middle of a CR LF line break or of a
  // surrogate pair, which the textarea could show only in halves.
  edge(pos) {
    const text = this.text;
    if (pos <= 0 || pos >= text.length) return pos;
    if (this.crlf && text[pos - 1] === "\r" && text[pos] === "\n") return pos - 1;
    if (isHighSurrogate(text.charCodeAt(pos - 1)) && isLowSurrogate(text.charCodeAt(pos))) return pos - 1;
    return pos;
  }

  show(start, end) {
    this.start = this.edge(start);
    this.end = this.edge(end);
    this.shown = toDisplay(this.text.slice(this.start, this.end), this.crlf);
    this.area.value = this.shown;
  }

  // ---- Positions ------------------------------------------------------------

  // The text position of an offset in the textarea.
  toText(offset) {
    if (!this.crlf) return this.start + offset;
    let breaks = 0;
    for (let at = this.shown.indexOf("\n"); at >= 0 && at < offset; at = this.shown.indexOf("\n", at + 1)) breaks++;
    return this.start + offset + breaks;
  }

  // The textarea offset of a text position inside the window.
  toShown(pos) {
    pos = Math.min(Math.max(pos, this.start), this.end);
    if (!this.crlf) return pos - this.start;
    let pairs = 0;
    for (let at = this.text.indexOf("\r\n", this.start); at >= 0 && at + 2 <= pos; at = this.text.indexOf("\r\n", at + 2)) {
      pairs++;
    }
    return pos - this.start - pairs;
  }

  // The selection in text positions. It is the textarea's own, unless the box
  // has set a wider one (select all of a text larger than the window) that
  // the user has not changed since.
  exactSelection() {
    const area = this.area;
    const held = this.held;
    if (held && held.start_ === area.selectionStart && held.end_ === area.selectionEnd && held.shown === this.shown) {
      return { start: held.start, end: held.end, backward: held.backward };
    }
    this.held = null;
    return {
      start: this.toText(area.selectionStart),
      end: this.toText(area.selectionEnd),
      backward: area.selectionDirection === "backward",
    };
  }

  // Selects text positions: in the textarea, the part of them in the window.
  select(selection) {
    const start = this.toShown(selection.start);
    const end = this.toShown(selection.end);
    this.area.setSelectionRange(start, end, selection.backward ? "backward" : "forward");
    const whole = selection.start >= this.start && selection.end <= this.end;
    this.held = whole ? null : { ...selection, start_: start, end_: end, shown: this.shown };
  }

  selectedText() {
    const { start, end } = this.exactSelection();
    return this.text.slice(start, end);
  }

  // ---- Editing --------------------------------------------------------------

  // Text as it goes into the box: every kind of line break becomes the box's.
  typed(text) {
    return text.replace(/\r\n|[\r\n\u2028\u2029]/g, this.lineBreak);
  }

  // Replaces text[from, to) by `inserted`, keeps the edit for undo, and shows
  // the window again where the edit changes how it is shown.
  replace(from, to, inserted, typing) {
    const removed = this.text.slice(from, to);
    const last = this.undoSteps[this.undoSteps.length - 1];
    if (typing && last && last.typing && last.at + last.inserted.length === from && removed === "") {
      last.inserted += inserted;
    } else {
      this.undoSteps.push({ at: from, removed, inserted, typing });
    }
    this.redoSteps = [];
    this.apply(from, to, inserted);
  }

  apply(from, to, inserted) {
    this.text = this.text.slice(0, from) + inserted + this.text.slice(to);
    const caret = from + inserted.length;
    let start = this.start;
    let end = this.end + inserted.length - (to - from);
    if (caret < start || caret > end || inserted.length > 1000) {
      [start, end] = this.windowAround(caret);
    }
    start = this.edge(start);
    end = this.edge(end);
    const shown = toDisplay(this.text.slice(start, end), this.crlf);
    this.start = start;
    this.end = end;
    if (shown !== this.area.value) {
      const top = this.area.scrollTop;
      this.area.value = shown;
      this.area.scrollTop = top;
    }
    this.shown = shown;
    this.select({ start: caret, end: caret, backward: false });
  }

  undo() {
    const step = this.undoSteps.pop();
    if (!step) return;
    this.redoSteps.push(step);
    this.apply(step.at, step.at + step.inserted.length, step.removed);
  }

  redo() {
    const step = this.redoSteps.pop();
    if (!step) return;
    this.undoSteps.push(step);
    this.apply(step.at, step.at + step.removed.length, step.inserted);
  }

  beforeInput(event) {
    const type = event.inputType;
    if (type === "historyUndo" || type === "historyRedo") {
      // The textarea's own history knows only what it showed, pictures and all.
      event.preventDefault();
      if (type === "historyUndo") this.undo();
      else this.redo();
      return;
    }
    const selection = this.exactSelection();
    if (!this.held || event.isComposing) return;
    // The selection reaches past the window, so the textarea cannot make the
    // edit: the box makes it.
    let inserted = null;
    if (type.startsWith("delete")) inserted = "";
    else if (type === "insertLineBreak" || type === "insertParagraph") inserted = "\n";
    else if (typeof event.data === "string") inserted = event.data;
    else if (event.dataTransfer) inserted = event.dataTransfer.getData("text/plain");
    if (inserted === null) return;
    event.preventDefault();
    this.replace(selection.start, selection.end, this.typed(inserted), false);
  }

  afterInput(event) {
    if (event.isComposing) return; // read once the composition ends
    const area = this.area;
    const value = area.value;
    const old = this.shown;
    if (value === old) return;
    // The edit ends where the caret now stands; that settles which of two
    // equal characters was typed.
    const suffixLimit = Math.min(old.length, value.length - area.selectionEnd);
    const suffix = commonSuffix(old, value, Math.max(0, suffixLimit));
    const prefix = commonPrefix(old, value, Math.min(old.length, value.length) - suffix);
    const from = this.toText(prefix);
    const to = this.toText(old.length - suffix);
    const inserted = this.typed(value.slice(prefix, value.length - suffix));
    this.shown = value; // what the textarea holds now
    const typing = event.inputType === "insertText";
    this.replace(from, to, inserted, typing);
  }

  keyDown(event) {
    const command = event.ctrlKey || event.metaKey;
    if (!command || event.altKey) return;
    const key = event.key;
    const whole = this.start === 0 && this.end === this.text.length;
    if ((key === "a" || key === "A") && !event.shiftKey && !whole) {
      event.preventDefault();
      this.select({ start: 0, end: this.text.length, backward: false });
    } else if ((key === "Home" || key === "End") && !whole) {
      event.preventDefault();
      const target = key === "Home" ? 0 : this.text.length;
      const selection = this.exactSelection();
      const anchor = selection.backward ? selection.end : selection.start;
      this.moveWindow(target);
      if (event.shiftKey) {
        this.select({ start: Math.min(anchor, target), end: Math.max(anchor, target), backward: target < anchor });
      } else {
        this.select({ start: target, end: target, backward: false });
      }
      this.area.scrollTop = key === "Home" ? 0 : this.area.scrollHeight;
    } else if (key === "z" || key === "Z" || key === "y" || key === "Y") {
      // The box's own history: the textarea's knows only what it showed.
      event.preventDefault();
      if ((key === "z" || key === "Z") && !event.shiftKey) this.undo();
      else this.redo();
    }
  }

  copy(event, cut) {
    const { start, end } = this.exactSelection();
    if (start === end) return;
    event.preventDefault();
    event.clipboardData.setData("text/plain", this.text.slice(start, end));
    if (cut) this.replace(start, end, "", false);
  }

  // ---- Scrolling ------------------------------------------------------------

  moveWindow(pos) {
    const [start, end] = this.windowAround(pos);
    if (start !== this.start || end !== this.end) this.show(start, end);
  }

  scrolled() {
    if (this.moving || this.composing) return;
    const area = this.area;
    const margin = area.clientHeight;
    if (area.scrollHeight - area.scrollTop - area.clientHeight < margin && this.end < this.text.length) {
      this.moveOn(true);
    } else if (area.scrollTop < margin && this.start > 0) {
      this.moveOn(false);
    }
  }

  // Moves the window on by half its size, forward or back, so that what is in
  // view stays where it is.
  moveOn(forward) {
    const area = this.area;
    const selection = this.exactSelection();
    let start;
    let shift; // how far the text in view moves up in the textarea, in pixels
    if (forward) {
      // Drop the lines above the middle of the window, or above the view.
      const top = Math.floor((area.scrollTop / area.scrollHeight) * this.shown.length);
      const limit = Math.min(top, this.shown.length >> 1);
      let cut = this.shown.lastIndexOf("\n", limit) + 1;
      if (cut <= 0) cut = limit; // one long line: cut it in the middle
      if (cut <= 0) return;
      start = this.edge(this.toText(cut));
      shift = this.heightOf(this.shown.slice(0, cut));
    } else {
      start = this.edge(this.linesBack(this.start, kWindowLines / 2, kWindowChars / 2));
      shift = -this.heightOf(toDisplay(this.text.slice(start, this.start), this.crlf));
    }
    const top = area.scrollTop;
    this.moving = true;
    this.show(start, this.windowEnd(start));
    this.select(selection);
    area.scrollTop = top - shift;
    requestAnimationFrame(() => {
      this.moving = false;
    });
  }

  // The height of a text laid out as the textarea lays it out.
  heightOf(text) {
    if (!this.mirror) {
      const mirror = this.area.cloneNode(false);
      mirror.removeAttribute("id");
      mirror.removeAttribute("name");
      mirror.setAttribute("aria-hidden", "true");
      mirror.tabIndex = -1;
      mirror.className = this.area.className + " mirror";
      this.area.parentNode.appendChild(mirror);
      this.mirror = mirror;
    }
    const mirror = this.mirror;
    mirror.style.width = this.area.offsetWidth + "px";
    mirror.value = "";
    const empty = mirror.scrollHeight;
    mirror.value = text;
    const height = mirror.scrollHeight - empty;
    mirror.value = "";
    return height;
  }
}

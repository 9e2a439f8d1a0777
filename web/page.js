// The page: Tolvana's window in a browser, on the program's own core compiled
// to WebAssembly (web/binding.cpp). The commands do what the window's do, and
// every word shown comes from the core (web/words.cpp).
//
// The page asks for nothing over the network: the core is in the page itself,
// files come from the file picker or a drop and go out as downloads.
(function () {
  "use strict";

  const kDone = 0;
  const kRefused = 1;

  const $ = (id) => document.getElementById(id);
  const main = $("window");
  const codeDecoder = new TextDecoder("windows-1252");
  const utf8Decoder = new TextDecoder();
  const utf8Encoder = new TextEncoder();

  let wasmModule = null;
  let core = null;
  let running = false;
  let outOfMemory = "";
  let saveName = "tolvana.crp";
  const clear = new CodeTextBox($("clear"), "\r\n");
  const cipher = new CodeTextBox($("cipher"), "\n");

  // ---- The core --------------------------------------------------------------

  function wasmBytes() {
    const text = atob(TOLVANA_WASM);
    const bytes = new Uint8Array(text.length);
    for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
    return bytes;
  }

  function startCore() {
    return TolvanaCore({
      instantiateWasm(imports, done) {
        WebAssembly.instantiate(wasmModule, imports).then(done);
        return {};
      },
    });
  }

  // The core's memory as it is now: a call that needs more memory replaces
  // it, and the view of it taken before the call is then empty.
  function heap() {
    return core.HEAPU8;
  }

  function putName(name) {
    const bytes = utf8Encoder.encode(name);
    const at = core._tv_name(bytes.length);
    heap().set(bytes, at);
  }

  function putBytes(bytes) {
    const at = core._tv_input(bytes.length);
    heap().set(bytes, at);
    return bytes.length;
  }

  // A box's text as the core's input: its bytes when it is all ASCII (as
  // cipher text is), which are then its codes, or else its UTF-16 code units.
  function putText(text) {
    const n = text.length;
    let at = core._tv_input(n);
    const { read, written } = utf8Encoder.encodeInto(text, heap().subarray(at, at + n));
    if (read === n && written === n) return { size: n, utf16: 0 };
    at = core._tv_input(2 * n);
    const units = new Uint16Array(heap().buffer, at, n);
    for (let i = 0; i < n; i++) units[i] = text.charCodeAt(i);
    return { size: 2 * n, utf16: 1 };
  }

  function output() {
    const at = core._tv_output();
    return heap().subarray(at, at + core._tv_output_size());
  }

  const outputCodes = () => codeDecoder.decode(output());
  const outputText = () => utf8Decoder.decode(output());

  function caption(key) {
    putName(key);
    return core._tv_caption() === kDone ? outputText() : "";
  }

  // ---- Commands --------------------------------------------------------------

  function nextFrame() {
    return new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
  }

  // Runs one command at a time, as the window does; a command that takes long
  // says what it does meanwhile.
  async function runCommand(label, large, work) {
    if (running || !core) return;
    running = true;
    main.setAttribute("aria-busy", "true");
    try {
      if (large) {
        $("status").textContent = caption(label);
        await nextFrame();
      }
      await work();
    } catch (error) {
      await recover(error);
    } finally {
      if (core) core._tv_release();
      $("status").textContent = "";
      main.setAttribute("aria-busy", "false");
      main.dataset.commands = String(Number(main.dataset.commands) + 1);
      running = false;
    }
  }

  // A command that ran out of memory, in the core or in the browser, changes
  // nothing and says so; the core is started afresh.
  async function recover(error) {
    const inCore = error instanceof WebAssembly.RuntimeError;
    const memory = error instanceof RangeError || (inCore && core._tv_ran_out_of_memory());
    if (inCore) {
      core = null;
      core = await startCore();
    }
    if (!memory) throw error;
    showMessage(outOfMemory);
  }

  const kLarge = 1 << 20;

  // Runs one of the core's commands on a box's text, as `call(size, utf16)`;
  // false when the core refused it, after saying why.
  function onText(text, call) {
    const { size, utf16 } = putText(text);
    if (call(size, utf16) !== kRefused) return true;
    showMessage(outputText());
    return false;
  }

  function encrypt() {
    runCommand("encrypting", clear.text.length > kLarge, () => {
      const decimal = document.querySelector('input[name="decimal"]:checked').value.charCodeAt(0);
      if (!onText(clear.text, (size, utf16) => core._tv_kryptera(size, utf16, decimal))) return;
      cipher.setText(outputCodes());
      clear.setText("");
    });
  }

  function decrypt() {
    runCommand("decrypting", cipher.text.length > kLarge, () => {
      if (!onText(cipher.text, (size, utf16) => core._tv_dekryptera(size, utf16))) return;
      clear.setText(outputCodes());
    });
  }

  function save() {
    runCommand("saving", cipher.text.length > kLarge, () => {
      if (!onText(cipher.text, (size, utf16) => core._tv_save(size, utf16))) return;
      download(new Blob([output()], { type: "application/octet-stream" }), saveName);
    });
  }

  function download(blob, name) {
    const url = URL.createObjectURL(blob);
    const link = document.createElement("a");
    link.href = url;
    link.download = name;
    link.hidden = true;
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  }

  // Reads a file the user gave, after checking its size; `text` says whether
  // it is a text file or a ".crp" file. Nothing when it is refused.
  async function readFile(file, text) {
    putName(file.name);
    if (core._tv_check_file(text ? 1 : 0, file.size) === kRefused) {
      showMessage(outputText());
      return null;
    }
    let bytes;
    try {
      bytes = new Uint8Array(await file.arrayBuffer());
    } catch (error) {
      // A file that cannot be read changes nothing and says nothing, as in
      // the window; memory that runs out is said.
      if (error instanceof RangeError) throw error;
      return null;
    }
    return putBytes(bytes);
  }

  function openCipher(file) {
    return runCommand("reading", file.size > kLarge, async () => {
      const size = await readFile(file, false);
      if (size === null) return;
      // A file that holds no field changes nothing, as in the window.
      if (core._tv_open_cipher(size) !== kDone) return;
      cipher.setText(outputCodes());
      saveName = file.name;
    });
  }

  function importText(file) {
    return runCommand("reading", file.size > kLarge, async () => {
      const size = await readFile(file, true);
      if (size === null) return;
      const status = core._tv_import(size);
      if (status === kRefused) {
        showMessage(outputText());
        return;
      }
      if (status !== kDone) return;
      clear.setText(outputCodes());
      saveName = file.name.replace(/\.[^.]*$/, "") + ".crp";
    });
  }

  // Files dropped on the page open by their extension, whatever its case, as
  // in the window: ".crp" as a cipher file, ".txt" as a text file.
  async function openDropped(files) {
    for (const file of files) {
      const extension = (file.name.match(/\.([^.]*)$/) || ["", ""])[1].toLowerCase();
      if (extension === "crp") await openCipher(file);
      else if (extension === "txt") await importText(file);
      else {
        putName(file.name);
        core._tv_other_type();
        showMessage(outputText());
      }
    }
  }

  // ---- Messages --------------------------------------------------------------

  const messages = [];
  let focusBeforeMessage = null;

  function showMessage(text) {
    messages.push(text);
    if (!$("message").open) nextMessage();
  }

  function nextMessage() {
    const dialog = $("message");
    $("message-text").textContent = messages.shift();
    if (!focusBeforeMessage) focusBeforeMessage = document.activeElement;
    dialog.showModal();
    $("message-ok").focus();
  }

  function messageClosed() {
    if (messages.length) {
      nextMessage();
      return;
    }
    if (focusBeforeMessage && focusBeforeMessage.focus) focusBeforeMessage.focus();
    focusBeforeMessage = null;
  }

  // ---- Start -----------------------------------------------------------------

  function chooseFile(input, open) {
    input.addEventListener("change", () => {
      const file = input.files[0];
      input.value = "";
      if (file) open(file);
    });
  }

  function hasFiles(event) {
    return event.dataTransfer && Array.from(event.dataTransfer.types).includes("Files");
  }

  function wire() {
    $("encrypt").addEventListener("click", encrypt);
    $("decrypt").addEventListener("click", decrypt);
    $("save").addEventListener("click", save);
    $("open").addEventListener("click", () => $("open-file").click());
    $("import").addEventListener("click", () => $("import-file").click());
    chooseFile($("open-file"), openCipher);
    chooseFile($("import-file"), importText);
    $("message-ok").addEventListener("click", () => $("message").close());
    $("message").addEventListener("close", messageClosed);

    document.addEventListener("keydown", (event) => {
      if (!(event.ctrlKey || event.metaKey) || event.altKey || event.shiftKey) return;
      if ($("message").open) return;
      const key = event.key.toLowerCase();
      if (key === "o") {
        event.preventDefault();
        $("open-file").click();
      } else if (key === "s") {
        event.preventDefault();
        save();
      }
    });

    // A file dropped anywhere, the boxes included, is opened; text dropped on
    // a box goes into it.
    const dragging = (event) => {
      if (!hasFiles(event)) return;
      event.preventDefault();
      event.dataTransfer.dropEffect = "copy";
    };
    document.addEventListener("dragenter", dragging, true);
    document.addEventListener("dragover", dragging, true);
    document.addEventListener(
      "drop",
      (event) => {
        if (!hasFiles(event)) return;
        event.preventDefault();
        event.stopPropagation();
        openDropped(Array.from(event.dataTransfer.files));
      },
      true,
    );
  }

  async function start() {
    try {
      wasmModule = await WebAssembly.compile(wasmBytes());
      core = await startCore();
    } catch (error) {
      $("broken").hidden = false;
      main.setAttribute("aria-busy", "false");
      throw error;
    }
    for (const element of document.querySelectorAll("[data-word]")) {
      element.textContent = caption(element.dataset.word);
    }
    for (const element of document.querySelectorAll("[data-word-label]")) {
      element.setAttribute("aria-label", caption(element.dataset.wordLabel));
    }
    core._tv_out_of_memory();
    outOfMemory = outputText();
    core._tv_release();

    // The decimal separator that "Kryptera" writes: a comma where the
    // browser's language is Swedish, as in a Swedish locale, else a point.
    const swedish = /^sv\b/i.test(navigator.language || "");
    document.querySelector(`input[name="decimal"][value="${swedish ? "," : "."}"]`).checked = true;

    wire();
    for (const control of document.querySelectorAll("button, input")) control.disabled = false;
    main.setAttribute("aria-busy", "false");
    $("clear").focus();
  }

  start();
})();

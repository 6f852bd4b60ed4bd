// The page's side of the browser layer: the canvas, the title and Web Audio. Linked into
// treadbrawl.js by emscripten (--js-library); the C++ side calls these by name.
mergeInto(LibraryManager.library, {
  tb_web_script_text: function() {
    var text = Module.tbScriptText;
    return typeof text === 'string' ? allocateUTF8(text) : 0;
  },

  tb_web_local_seconds_of_day: function() {
    var d = new Date();
    return d.getHours() * 3600 + d.getMinutes() * 60 + d.getSeconds() + d.getMilliseconds() / 1000;
  },

  tb_web_fit_canvas: function(width, height) {
    var canvas = document.getElementById('canvas');
    var ratio = window.devicePixelRatio || 1;
    var w = Math.max(1, Math.round(canvas.clientWidth * ratio));
    var h = Math.max(1, Math.round(canvas.clientHeight * ratio));
    if (canvas.width !== w || canvas.height !== h) {
      canvas.width = w;
      canvas.height = h;
    }
    HEAP32[width >> 2] = w;
    HEAP32[height >> 2] = h;
  },

  tb_web_present: function(rgba, width, height, scale, x, y, w, h, smooth) {
    var page = Module.tbPage || (Module.tbPage = {});
    if (!page.picture || page.picture.width !== width || page.picture.height !== height) {
      page.picture = document.createElement('canvas');
      page.picture.width = width;
      page.picture.height = height;
    }
    var pixels = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
    page.picture.getContext('2d').putImageData(new ImageData(pixels, width, height), 0, 0);
    var source = page.picture;
    if (smooth) {
      // Sharp to the whole multiple first, so that every pixel stays the same size.
      if (!page.sharp || page.sharp.width !== width * scale || page.sharp.height !== height * scale) {
        page.sharp = document.createElement('canvas');
        page.sharp.width = width * scale;
        page.sharp.height = height * scale;
      }
      var sharp = page.sharp.getContext('2d');
      sharp.imageSmoothingEnabled = false;
      sharp.drawImage(page.picture, 0, 0, width * scale, height * scale);
      source = page.sharp;
    }
    var canvas = document.getElementById('canvas');
    var out = canvas.getContext('2d');
    out.fillStyle = '#000';
    out.fillRect(0, 0, canvas.width, canvas.height);
    out.imageSmoothingEnabled = !!smooth;
    out.imageSmoothingQuality = 'high';
    out.drawImage(source, x, y, w, h);
  },

  tb_web_set_title: function(title) {
    var text = UTF8ToString(title);
    if (document.title !== text) document.title = text;
  },

  tb_web_closed: function() {
    var note = document.getElementById('closed');
    if (note) note.hidden = false;
  },

  tb_web_sound_voices: function(voices) {
    var sound = Module.tbSound || (Module.tbSound = {voices: 1, playing: [], latest: 0, cache: {}});
    sound.voices = voices;
  },

  // Fetches and decodes the file, then starts it unless a later play has started since (one
  // sound at a time) or cuts the oldest (mixing). The decoded sound is kept by path.
  tb_web_play_sound: function(pathPointer) {
    var path = UTF8ToString(pathPointer);
    var sound = Module.tbSound || (Module.tbSound = {voices: 1, playing: [], latest: 0, cache: {}});
    var context = sound.context;
    if (!context) {
      var Context = window.AudioContext || window.webkitAudioContext;
      if (!Context) return;
      context = sound.context = new Context();
    }
    if (context.state === 'suspended') context.resume();
    var ticket = ++sound.latest;
    var fade = 0.002;
    function start(buffer) {
      if (sound.voices === 1 && ticket !== sound.latest) return;
      var now = context.currentTime;
      while (sound.playing.length >= sound.voices) {
        var old = sound.playing.shift();
        old.gain.gain.setValueAtTime(old.gain.gain.value, now);
        old.gain.gain.linearRampToValueAtTime(0, now + fade);
        old.source.stop(now + fade);
      }
      var gain = context.createGain();
      gain.gain.setValueAtTime(0, now);
      gain.gain.linearRampToValueAtTime(1, now + fade);
      gain.connect(context.destination);
      var source;
      if (buffer) {
        source = context.createBufferSource();
        source.buffer = buffer;
      } else {
        // The alert: a short beep where the file could not be played.
        source = context.createOscillator();
        source.frequency.value = 880;
        gain.gain.linearRampToValueAtTime(0.2, now + fade);
      }
      source.connect(gain);
      var voice = {source: source, gain: gain};
      source.onended = function() {
        var i = sound.playing.indexOf(voice);
        if (i >= 0) sound.playing.splice(i, 1);
      };
      sound.playing.push(voice);
      source.start(now);
      if (!buffer) source.stop(now + 0.15);
    }
    var known = sound.cache[path];
    if (known) {
      start(known);
      return;
    }
    fetch(path)
        .then(function(response) {
          if (!response.ok) throw new Error(response.status);
          return response.arrayBuffer();
        })
        .then(function(bytes) {
          return new Promise(function(resolve, reject) {
            context.decodeAudioData(bytes, resolve, reject);
          });
        })
        .then(function(buffer) {
          sound.cache[path] = buffer;
          start(buffer);
        })
        .catch(function() { start(null); });
  },
});

// The report's pages. The data lies in data/*.js, each file one call of
// KxReport.load(key, value), added as a script element when needed: a page
// opened from file: may not fetch() its neighbours. Every text from the
// data goes into the page through textContent or an attribute, never as
// markup; the page's content security policy runs no other script.
(function () {
  'use strict';

  var kept = {};      // the index and the type pages, small and used often
  var waiting = {};   // key -> callbacks; conversations and records are not kept
  var generation = 0; // a view's callbacks do nothing once another view began
  var RECORDS_SHOWN = 500;
  var THREADS_SHOWN = 500;
  var HITS_SHOWN = 1000;

  function has(object, key) { return Object.prototype.hasOwnProperty.call(object, key); }

  window.KxReport = {
    load: function (key, value) {
      if (key === 'index' || key.indexOf('type-') === 0) kept[key] = value;
      var callbacks = waiting[key] || [];
      delete waiting[key];
      callbacks.forEach(function (callback) { callback(value); });
    }
  };

  // Calls back with the value of `key`'s data file, or null when it is
  // missing or does not hold it.
  function need(key, callback) {
    if (has(kept, key)) { callback(kept[key]); return; }
    if (waiting[key]) { waiting[key].push(callback); return; }
    waiting[key] = [callback];
    var script = document.createElement('script');
    var done = function () {
      script.remove();
      var callbacks = waiting[key] || [];
      delete waiting[key];
      callbacks.forEach(function (late) { late(null); });
    };
    script.addEventListener('load', done);
    script.addEventListener('error', done);
    script.src = 'data/' + encodeURIComponent(key) + '.js';
    document.head.appendChild(script);
  }

  function el(tag, className, text) {
    var node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined && text !== null) node.textContent = String(text);
    return node;
  }

  function link(href, text, className) {
    var node = el('a', className, text);
    node.setAttribute('href', href);
    return node;
  }

  function main() { return document.getElementById('main'); }

  function begin(view) {
    generation += 1;
    document.body.setAttribute('data-view', view);
    document.body.setAttribute('data-state', 'loading');
    var node = main();
    node.replaceChildren();
    return generation;
  }

  function ready(token) {
    if (token === generation) document.body.setAttribute('data-state', 'ready');
  }

  function formatDate(value) {
    if (typeof value === 'number' && isFinite(value)) {
      var ms = value > 1e11 ? value : value > 1e8 ? value * 1000 : NaN;
      if (!isNaN(ms)) {
        var date = new Date(ms);
        if (!isNaN(date.getTime())) return date.toISOString().slice(0, 19) + 'Z';
      }
    }
    return value === undefined || value === null ? '' : String(value);
  }

  function typeHref(name) { return '#type=' + encodeURIComponent(name); }
  function chatHref(name, section, thread) {
    return typeHref(name) + '&chat=' + section + '.' + thread;
  }

  function markDeleted(node, deleted) {
    if (!deleted) return;
    node.classList.add('deleted');
    node.setAttribute('data-deleted', '1');
    // A table row keeps the badge in its first cell.
    var target = node.tagName === 'TR' && node.firstChild ? node.firstChild : node;
    target.appendChild(el('span', 'badge', 'deleted'));
  }

  function pictures(list) {
    var box = el('div', 'pictures');
    (list || []).forEach(function (picture) {
      // The generator links only files of the output folder, as "../..."
      // with every other character percent-encoded.
      var linked = picture && typeof picture.src === 'string' &&
                   /^\.\.\/[A-Za-z0-9%._~\/-]*$/.test(picture.src);
      if (linked) {
        var image = el('img');
        image.setAttribute('alt', '');
        image.setAttribute('loading', 'lazy');
        image.addEventListener('load', function () {
          if (image.complete && image.naturalWidth > 0) image.setAttribute('data-loaded', '1');
        });
        image.addEventListener('error', function () {
          var broken = el('span', 'missing', 'picture cannot be shown');
          broken.setAttribute('data-broken', '1');
          image.replaceWith(broken);
        });
        image.src = picture.src;
        box.appendChild(image);
      } else if (picture) {
        var missing = el('span', 'missing', (picture.outside ? 'picture outside the output folder, not shown: '
                                                             : 'picture missing: ') + (picture.missing || ''));
        missing.setAttribute('data-missing', '1');
        box.appendChild(missing);
      }
    });
    return box;
  }

  function fieldList(fields) {
    var details = el('details');
    details.appendChild(el('summary', null, 'all fields'));
    var list = el('dl');
    (fields || []).forEach(function (field) {
      list.appendChild(el('dt', null, field[0]));
      list.appendChild(el('dd', null, field[1]));
    });
    details.appendChild(list);
    return details;
  }

  function typeNav(current) {
    var nav = document.getElementById('types');
    nav.replaceChildren();
    var index = kept.index;
    if (!index) return;
    index.types.forEach(function (type) {
      nav.appendChild(link(typeHref(type.name), titleOf(type), type.name === current ? 'current' : ''));
    });
  }

  // Dates are shown as the packagers wrote them, in the local time of the
  // machine that packaged: the page says which.
  function zoneNote(node) {
    var provenance = kept.index && kept.index.provenance;
    var zone = provenance && provenance.time_zone;
    node.appendChild(el('p', 'zone note', zone ? 'Dates are ISO 8601 in the packaging machine\'s local time, ' + zone + '.' :
                        'Dates are ISO 8601 in the packaging machine\'s local time (its zone is not recorded).'));
  }

  // "call_records" -> "Call records", "GroupManifestList" -> "Group manifest list".
  function sectionTitle(label) {
    var known = { GroupManifestList: 'Albums', photo_data: 'Photos', callhistory: 'Calls',
                  call_records: 'Calls', raw_contacts: 'Contacts', contacts_info: 'Contacts',
                  Other_note: 'Notes in other folders' };
    if (has(known, label)) return known[label];
    var words = String(label).replace(/([a-z])([A-Z])/g, '$1 $2').replace(/_+/g, ' ').trim().toLowerCase();
    return words ? words.charAt(0).toUpperCase() + words.slice(1) : String(label);
  }

  function titleOf(type) { return (type && (type.title || type.name)) || ''; }

  // A table whose columns sort on a click on their heading; `rows` are
  // arrays of cells (text, or a node whose text sorts). Text in them stays
  // text.
  function sortableTable(headings, rows) {
    var table = el('table', 'sortable');
    var head = el('tr');
    var body = el('tbody');
    var order = { column: -1, up: true };
    var textOf = function (cell) { return cell && cell.nodeType ? cell.textContent : String(cell === undefined || cell === null ? '' : cell); };
    var fill = function () {
      body.replaceChildren();
      rows.forEach(function (row) {
        var tr = el('tr');
        row.forEach(function (cell) {
          var td = el('td');
          if (cell && cell.nodeType) td.appendChild(cell); else td.textContent = textOf(cell);
          tr.appendChild(td);
        });
        if (row.deleted) markDeleted(tr, true);
        body.appendChild(tr);
      });
    };
    headings.forEach(function (heading, column) {
      var th = el('th', null, heading);
      th.addEventListener('click', function () {
        order.up = order.column === column ? !order.up : true;
        order.column = column;
        rows.sort(function (a, b) {
          var x = textOf(a[column]), y = textOf(b[column]);
          var nx = Number(x), ny = Number(y);
          var c = x !== '' && y !== '' && !isNaN(nx) && !isNaN(ny) ? nx - ny : x < y ? -1 : x > y ? 1 : 0;
          return order.up ? c : -c;
        });
        fill();
      });
      head.appendChild(th);
    });
    var thead = el('thead');
    thead.appendChild(head);
    table.appendChild(thead);
    table.appendChild(body);
    fill();
    return table;
  }

  function provenanceSection(node, provenance) {
    node.appendChild(el('h2', null, 'Provenance'));
    if (!provenance) {
      node.appendChild(el('p', 'problem', 'This output folder does not record where it came from ' +
                          '(made by an older kxpackage, or its summary.json is missing).'));
      return;
    }
    var list = el('dl', 'provenance');
    [['Made by', (provenance.tool || '') + ' ' + (provenance.version || '')],
     ['Library', provenance.library_version],
     ['Command', (provenance.command_line || []).join(' ')],
     ['Started', provenance.started], ['Finished', provenance.finished],
     ['Dates shown in', provenance.time_zone]].forEach(function (pair) {
      if (!pair[1]) return;
      list.appendChild(el('dt', null, pair[0]));
      list.appendChild(el('dd', null, pair[1]));
    });
    node.appendChild(list);
    node.appendChild(el('p', 'note', (provenance.source_count || 0) + ' source files read; ' +
                        (provenance.staged_count || 0) + ' staged and written files hashed ' +
                        '(kxpackage verify OUT checks them).'));
    var rows = (provenance.sources || []).map(function (source) {
      var place = source.domain ? source.domain + ' ' + (source.relative_path || '') :
                  source.relative_path || '';
      var decrypted = !source.decrypted ? 'no' : source.encrypted_sha256 ?
        'yes, from ' + source.encrypted_path + ' (SHA-256 ' + source.encrypted_sha256 + ')' : 'yes';
      return [place, source.path, source.size, source.sha256, decrypted,
              (source.data_types || []).map(function (name) { return titleOf(findType(name) || { name: name }); }).join(', ')];
    });
    var table = sortableTable(['place in the backup', 'read from', 'bytes', 'SHA-256', 'decrypted',
                               'used for'], rows);
    table.id = 'sources';
    var save = link('csv/provenance-sources.csv', 'Save as CSV', 'csv');
    save.setAttribute('download', 'provenance-sources.csv');
    node.appendChild(save);
    node.appendChild(table);
  }

  // ---- the overview ----

  function showHome() {
    var token = begin('home');
    var index = kept.index;
    var node = main();
    typeNav('');
    if (!index) {
      node.appendChild(el('p', 'problem', 'The report\'s data (data/index.js) could not be loaded.'));
      return ready(token);
    }
    node.appendChild(el('h1', null, 'Device'));
    var device = index.device || {};
    var labels = [['name', 'Name'], ['model', 'Model'], ['ios_version', 'iOS version'],
                  ['backup_date', 'Backed up']];
    var shown = labels.filter(function (label) { return device[label[0]]; });
    if (shown.length === 0) {
      node.appendChild(el('p', 'note', 'The output folder does not name the device.'));
    } else {
      var list = el('dl', 'device');
      shown.forEach(function (label) {
        list.appendChild(el('dt', null, label[1]));
        list.appendChild(el('dd', null, device[label[0]]));
      });
      node.appendChild(list);
    }
    node.appendChild(el('h2', null, 'Data types'));
    if (index.types.length === 0) {
      node.appendChild(el('p', 'note', 'This output folder holds no result documents.'));
    }
    var listed = {};
    index.types.forEach(function (type) { listed[type.name] = true; });
    // Statuses that are no failure: packaged, not packaged by this build,
    // not in the backup, only on request.
    var fine = { '0': true, '-100': true, '-106': true, '-107': true };
    var failed = (index.summary || []).filter(function (entry) { return !fine[String(entry.status)]; });
    if (failed.length) {
      var problems = el('div', 'failed');
      problems.appendChild(el('h3', null, 'What failed'));
      failed.forEach(function (entry) {
        var line = el('p', 'problem', (entry.title || entry.name) + ': ' + (entry.status_text || entry.status) +
                      (entry.detail ? ' — ' + entry.detail : ''));
        line.setAttribute('data-failed', String(entry.name));
        problems.appendChild(line);
      });
      node.appendChild(problems);
    }
    var rows = (index.summary || []).map(function (entry) {
      var name = listed[entry.name] ? link(typeHref(entry.name), entry.title || entry.name) :
                 el('span', null, entry.title || entry.name);
      return [name, entry.name, entry.status + ' ' + (entry.status_text || ''), entry.records, entry.files];
    });
    if (rows.length) node.appendChild(sortableTable(['data', 'data type', 'status', 'records', 'files'], rows));
    provenanceSection(node, index.provenance);
    ready(token);
  }

  // ---- a data type ----

  function findType(name) {
    var index = kept.index;
    if (!index) return null;
    for (var i = 0; i < index.types.length; i += 1) {
      if (index.types[i].name === name) return index.types[i];
    }
    return null;
  }

  function withPage(name, token, callback) {
    var type = findType(name);
    if (!type) {
      main().appendChild(el('p', 'problem', 'No data type of that name in this output.'));
      return ready(token);
    }
    need(type.key, function (page) {
      if (token !== generation) return;
      if (!page) {
        main().appendChild(el('p', 'problem', 'This data type\'s page could not be loaded.'));
        return ready(token);
      }
      callback(page);
    });
  }

  function showType(name) {
    var token = begin('type');
    typeNav(name);
    withPage(name, token, function (page) {
      var node = main();
      node.appendChild(el('h1', null, titleOf(findType(name))));
      zoneNote(node);
      (page.problems || []).forEach(function (text) { node.appendChild(el('p', 'problem', text)); });
      if (page.sections.length === 0) node.appendChild(el('p', 'note', 'No records.'));
      var pending = 0;
      page.sections.forEach(function (section, number) {
        var heading = el('h2', null, sectionTitle(section.label) + ' (' + section.count + ')');
        // The generator names the file from letters, digits, '_' and '-' only.
        if (typeof section.csv === 'string' && /^[A-Za-z0-9_-]+\.csv$/.test(section.csv)) {
          var save = link('csv/' + section.csv, 'Save as CSV', 'csv');
          save.setAttribute('download', section.csv);
          heading.appendChild(save);
        }
        node.appendChild(heading);
        if (section.kind === 'conversations') {
          node.appendChild(threadList(name, section, number));
        } else {
          pending += 1;
          node.appendChild(recordSection(section, token, function () {
            pending -= 1;
            if (pending === 0) ready(token);
          }));
        }
      });
      if (pending === 0) ready(token);
    });
  }

  function threadList(name, section, number) {
    var box = el('div', 'threads');
    var shown = 0;
    var more = el('button', 'more', 'More conversations');
    var add = function () {
      section.threads.slice(shown, shown + THREADS_SHOWN).forEach(function (thread, offset) {
        var entry = link(chatHref(name, number, shown + offset), thread.title || '(no name)');
        if (thread.subtitle) entry.appendChild(el('span', 'count', thread.subtitle));
        entry.appendChild(el('span', 'count', thread.count + ' messages'));
        markDeleted(entry, thread.deleted);
        box.appendChild(entry);
      });
      shown = Math.min(section.threads.length, shown + THREADS_SHOWN);
      if (shown >= section.threads.length) more.remove();
    };
    more.addEventListener('click', add);
    add();
    if (shown < section.threads.length) box.appendChild(more);
    return box;
  }

  // A record list, one data file at a time: the first at once, the others
  // when asked for.
  function recordSection(section, token, loaded) {
    var box = el('div');
    var tabular = section.view === 'table' || section.view === 'calls';
    var list = tabular ? recordTable(section.view) :
               el('div', section.view === 'photos' ? 'grid' : 'cards');
    list.setAttribute('data-view', section.view);
    box.appendChild(list);
    var next = 0;
    var more = el('button', 'more', 'More');
    var loadNext = function (then) {
      var key = section.keys[next];
      next += 1;
      need(key, function (data) {
        if (token !== generation) return;
        ((data && data.records) || []).slice(0, RECORDS_SHOWN).forEach(function (record) {
          if (tabular) list.tBodies[0].appendChild(recordRow(record, section.view));
          else list.appendChild(recordNode(record, section.view));
        });
        if (next >= section.keys.length) more.remove();
        if (then) then();
      });
    };
    more.addEventListener('click', function () { loadNext(null); });
    if (section.keys.length > 1) box.appendChild(more);
    if (section.keys.length > 0) loadNext(loaded); else loaded();
    return box;
  }

  // Calls and other plain lists as a table; a click on a heading sorts the
  // rows loaded so far by that column (dates sort as their ISO text does).
  function recordTable(view) {
    var headings = view === 'calls' ? ['name', 'number', 'date', 'kind', 'duration', 'details']
                                    : ['title', 'detail', 'date', 'text', 'details'];
    var table = el('table', 'sortable records');
    var head = el('tr');
    var body = el('tbody');
    var order = { column: -1, up: true };
    headings.forEach(function (heading, column) {
      var th = el('th', null, heading);
      th.addEventListener('click', function () {
        order.up = order.column === column ? !order.up : true;
        order.column = column;
        var rows = Array.prototype.slice.call(body.rows);
        rows.sort(function (a, b) {
          var x = a.cells[column].textContent, y = b.cells[column].textContent;
          var c = x < y ? -1 : x > y ? 1 : 0;
          return order.up ? c : -c;
        });
        rows.forEach(function (row) { body.appendChild(row); });
      });
      head.appendChild(th);
    });
    var thead = el('thead');
    thead.appendChild(head);
    table.appendChild(thead);
    table.appendChild(body);
    return table;
  }

  function recordRow(record, view) {
    var row = el('tr');
    row.setAttribute('data-record', view);
    var cells = view === 'calls'
      ? [record.title, record.subtitle, formatDate(record.date), record.kind, record.duration]
      : [record.title, record.subtitle, formatDate(record.date), record.text];
    cells.forEach(function (text) { row.appendChild(el('td', null, text || '')); });
    var details = el('td');
    if (record.pictures) details.appendChild(pictures(record.pictures));
    details.appendChild(fieldList(record.fields));
    row.appendChild(details);
    markDeleted(row, record.deleted);
    return row;
  }

  function recordNode(record, view) {
    var card = el('div', view === 'photos' ? 'photo card' : 'card');
    card.setAttribute('data-record', view);
    if (view !== 'photos' || !record.pictures) card.appendChild(el('div', 'title', record.title || '(untitled)'));
    if (record.pictures) card.appendChild(pictures(record.pictures));
    if (view === 'photos' && record.title && record.pictures) card.appendChild(el('div', 'meta', record.title));
    if (record.subtitle) card.appendChild(el('div', 'meta', record.subtitle));
    if (record.date !== undefined) card.appendChild(el('div', 'meta', formatDate(record.date)));
    if (record.albums) card.appendChild(el('div', 'meta albums', 'Albums: ' + record.albums.join(', ')));
    if (record.text) card.appendChild(el('div', 'text', record.text));
    markDeleted(card, record.deleted);
    card.appendChild(fieldList(record.fields));
    return card;
  }

  // ---- a conversation ----

  function showChat(name, place) {
    var token = begin('chat');
    typeNav(name);
    var parts = String(place).split('.');
    withPage(name, token, function (page) {
      var section = page.sections[Number(parts[0])];
      var thread = section && section.threads && section.threads[Number(parts[1])];
      var node = main();
      if (!thread) {
        node.appendChild(el('p', 'problem', 'No such conversation.'));
        return ready(token);
      }
      node.appendChild(link(typeHref(name), '← ' + titleOf(findType(name))));
      var title = el('h1', null, thread.title || '(no name)');
      if (thread.id) title.appendChild(el('span', 'id', thread.id));
      markDeleted(title, thread.deleted);
      node.appendChild(title);
      if (thread.subtitle) node.appendChild(el('p', 'meta', thread.subtitle));
      node.appendChild(el('p', 'note', thread.count + ' messages'));
      zoneNote(node);
      var list = el('div', 'messages');
      node.appendChild(list);
      var more = el('button', 'more', 'Earlier / later messages');
      var next = 0;
      var loadNext = function () {
        if (next >= thread.keys.length) return ready(token);
        var key = thread.keys[next];
        next += 1;
        need(key, function (data) {
          if (token !== generation) return;
          ((data && data.messages) || []).forEach(function (message) {
            list.appendChild(messageNode(message));
          });
          if (next >= thread.keys.length) more.remove();
          ready(token);
        });
      };
      more.addEventListener('click', loadNext);
      if (thread.keys.length > 1) node.appendChild(more);
      loadNext();
    });
  }

  function messageNode(message) {
    var node = el('div', message.from_me ? 'message mine' : 'message');
    var meta = el('div', 'meta');
    if (message.from_me) {
      meta.appendChild(el('span', 'who', 'me'));
    } else if (message.sender) {
      meta.appendChild(el('span', 'who', message.sender));
      if (message.sender_id) meta.appendChild(el('span', 'id', message.sender_id));
    }
    if (message.date !== undefined) meta.appendChild(el('time', null, formatDate(message.date)));
    node.appendChild(meta);
    if (message.text) node.appendChild(el('div', 'text', message.text));
    if (message.label) {
      var label = el('div', 'label', message.label);
      label.setAttribute('data-label', message.label.split(' · ')[0]);
      node.appendChild(label);
    }
    if (message.pictures) node.appendChild(pictures(message.pictures));
    markDeleted(node, message.deleted);
    return node;
  }

  // ---- search ----

  function matches(texts, needle) {
    for (var i = 0; i < texts.length; i += 1) {
      if (texts[i] && String(texts[i]).toLowerCase().indexOf(needle) !== -1) return String(texts[i]);
    }
    return null;
  }

  function recordTexts(record) {
    var texts = [record.title, record.subtitle, record.text];
    (record.fields || []).forEach(function (field) { texts.push(field[1]); });
    return texts;
  }

  function showSearch(query) {
    var token = begin('search');
    typeNav('');
    var node = main();
    document.getElementById('search-input').value = query;
    node.appendChild(el('h1', null, 'Search: ' + query));
    var status = el('p', 'note');
    var stop = el('button', 'stop', 'Stop');
    var hits = el('div', 'hits');
    node.appendChild(status);
    node.appendChild(stop);
    node.appendChild(hits);
    var index = kept.index;
    var entries = (index && index.search) || [];
    var needle = query.toLowerCase();
    var found = 0;
    var stopped = false;
    var finish = function (how) {
      stop.remove();
      status.textContent = (how === 'stopped' ? 'Stopped: ' : 'Done: ') + found + ' found';
      document.body.setAttribute('data-search', how);
      ready(token);
    };
    stop.addEventListener('click', function () { stopped = true; });
    document.body.setAttribute('data-search', 'running');
    var addHit = function (entry, text, deleted, href, heading) {
      found += 1;
      if (found > HITS_SHOWN) return;
      var hit = el('div', 'hit');
      hit.setAttribute('data-hit', entry.what);
      hit.appendChild(link(href, heading));
      hit.appendChild(el('div', 'text', text));
      markDeleted(hit, deleted);
      hits.appendChild(hit);
    };
    var walk = function (at) {
      if (token !== generation) return;
      if (stopped) return finish('stopped');
      if (!needle || at >= entries.length) return finish('done');
      status.textContent = 'Searching ' + (at + 1) + ' of ' + entries.length + '… ' + found + ' found';
      var entry = entries[at];
      var type = findType(entry.type);
      need(type ? type.key : '', function (page) {
        need(entry.key, function (data) {
          if (token !== generation) return;
          var section = page && page.sections[entry.section];
          var thread = section && section.threads && section.threads[entry.thread];
          ((data && data.messages) || []).forEach(function (message) {
            var text = matches([message.text, message.sender], needle);
            if (text === null) return;
            addHit(entry, text, message.deleted, chatHref(entry.type, entry.section, entry.thread),
                   entry.type + ' › ' + ((thread && thread.title) || '(no name)'));
          });
          ((data && data.records) || []).forEach(function (record) {
            var text = matches(recordTexts(record), needle);
            if (text === null) return;
            addHit(entry, (record.title || '') + ': ' + text, record.deleted, typeHref(entry.type),
                   entry.type + ' › ' + entry.what);
          });
          // One file after another, each in a task of its own, so the page
          // stays responsive and the stop button is heard.
          setTimeout(function () { walk(at + 1); }, 0);
        });
      });
    };
    walk(0);
  }

  // ---- the timeline ----

  var EVENTS_SHOWN = 500;

  // The first piece that may hold a time at or after `from`: the pieces
  // are in time order.
  function firstPiece(pieces, from) {
    var low = 0, high = pieces.length;
    while (low < high) {
      var middle = (low + high) >> 1;
      if (String(pieces[middle].last).slice(0, from.length) < from) low = middle + 1; else high = middle;
    }
    return low;
  }

  function timelineForm(filter, timeline) {
    var form = el('form', 'filters');
    form.id = 'timeline-filters';
    var type = el('select');
    type.name = 'type';
    var all = el('option', null, 'all data types');
    all.value = '';
    type.appendChild(all);
    Object.keys(timeline.types || {}).forEach(function (name) {
      var option = el('option', null, titleOf(findType(name) || { name: name }) + ' (' + timeline.types[name] + ')');
      option.value = name;
      if (name === filter.type) option.selected = true;
      type.appendChild(option);
    });
    var from = el('input');
    from.type = 'date';
    from.name = 'from';
    from.value = filter.from;
    var to = el('input');
    to.type = 'date';
    to.name = 'to';
    to.value = filter.to;
    var deleted = el('input');
    deleted.type = 'checkbox';
    deleted.name = 'deleted';
    deleted.checked = filter.deleted;
    var deletedLabel = el('label', null, ' deleted only');
    deletedLabel.prepend(deleted);
    [el('span', null, 'Show '), type, el('span', null, ' from '), from, el('span', null, ' to '), to,
     deletedLabel, el('button', null, 'Apply')].forEach(function (node) { form.appendChild(node); });
    form.addEventListener('submit', function (event) {
      event.preventDefault();
      var params = new URLSearchParams();
      params.set('timeline', '');
      if (type.value) params.set('type', type.value);
      if (from.value) params.set('from', from.value);
      if (to.value) params.set('to', to.value);
      if (deleted.checked) params.set('deleted', '1');
      location.hash = params.toString();
    });
    return form;
  }

  function showTimeline(params) {
    var token = begin('timeline');
    typeNav('');
    var node = main();
    var timeline = kept.index && kept.index.timeline;
    node.appendChild(el('h1', null, 'Timeline'));
    zoneNote(node);
    if (!timeline || !timeline.pieces) {
      node.appendChild(el('p', 'problem', 'This report has no timeline (written by an older kxpackage).'));
      return ready(token);
    }
    var filter = { type: params.get('type') || '', from: params.get('from') || '',
                   to: params.get('to') || '', deleted: params.get('deleted') === '1' };
    node.appendChild(timelineForm(filter, timeline));
    var files = el('p', 'note', 'The whole timeline as files: ');
    files.appendChild(link('../timeline.csv', 'timeline.csv'));
    files.appendChild(document.createTextNode(' '));
    files.appendChild(link('../timeline.jsonl', 'timeline.jsonl'));
    node.appendChild(files);
    var status = el('p', 'note');
    node.appendChild(status);
    var table = el('table', 'timeline');
    var head = el('tr');
    ['time', 'data', 'kind', 'who', 'text or title', 'from'].forEach(function (text) {
      head.appendChild(el('th', null, text));
    });
    table.appendChild(head);
    node.appendChild(table);
    var more = el('button', 'more', 'More');
    var pieces = timeline.pieces;
    var at = filter.from ? firstPiece(pieces, filter.from) : 0;
    var found = 0;
    var keep = function (row) {
      var day = String(row[0]).slice(0, 10);
      return (!filter.type || row[1] === filter.type) && (!filter.deleted || row[7]) &&
             (!filter.from || day >= filter.from) && (!filter.to || day <= filter.to);
    };
    var finish = function (done) {
      status.textContent = found + ' events shown' + (done ? '' : ' so far');
      if (done) more.remove(); else node.appendChild(more);
      document.body.setAttribute('data-timeline', done ? 'done' : 'more');
      ready(token);
    };
    // Piece after piece until a page is full, past the end date or at the
    // end; each in a task of its own, so the page stays responsive.
    var walk = function (shown) {
      if (token !== generation) return;
      if (at >= pieces.length || (filter.to && String(pieces[at].first).slice(0, 10) > filter.to)) {
        return finish(true);
      }
      if (shown >= EVENTS_SHOWN) return finish(false);
      if (filter.type && pieces.length > 1 && !(timeline.types || {})[filter.type]) return finish(true);
      var piece = pieces[at];
      at += 1;
      need(piece.key, function (data) {
        if (token !== generation) return;
        ((data && data.events) || []).forEach(function (row) {
          if (!keep(row)) return;
          found += 1;
          shown += 1;
          table.appendChild(eventRow(row));
        });
        setTimeout(function () { walk(shown); }, 0);
      });
    };
    more.addEventListener('click', function () { more.remove(); walk(0); });
    walk(0);
  }

  function eventRow(row) {
    var tr = el('tr');
    tr.setAttribute('data-type', row[1]);
    var type = findType(row[1]);
    tr.appendChild(el('td', null, row[0]));
    var data = el('td');
    data.appendChild(type ? link(typeHref(row[1]), titleOf(type)) : el('span', null, row[1]));
    tr.appendChild(data);
    tr.appendChild(el('td', null, row[2]));
    tr.appendChild(el('td', null, row[3]));
    tr.appendChild(el('td', 'text', row[4]));
    tr.appendChild(el('td', 'meta', row[5] + ' ' + row[6]));
    markDeleted(tr, row[7]);
    return tr;
  }

  // ---- the address decides the view ----

  function route() {
    var params = new URLSearchParams(location.hash.replace(/^#/, ''));
    if (params.has('search')) return showSearch(params.get('search'));
    if (params.has('timeline')) return showTimeline(params);
    if (params.has('type') && params.has('chat')) return showChat(params.get('type'), params.get('chat'));
    if (params.has('type')) return showType(params.get('type'));
    return showHome();
  }

  document.addEventListener('DOMContentLoaded', function () {
    document.getElementById('search-form').addEventListener('submit', function (event) {
      event.preventDefault();
      var query = document.getElementById('search-input').value;
      location.hash = 'search=' + encodeURIComponent(query);
    });
    window.addEventListener('hashchange', route);
    route();
  });
}());

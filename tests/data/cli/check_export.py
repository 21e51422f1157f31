import csv, json, subprocess, sys
out = sys.argv[1]
with open(out + "/timeline.csv", encoding="utf-8-sig", newline="") as f:
    rows = list(csv.reader(f))
assert rows[0] == ["time", "data type", "kind", "who", "text", "deleted", "file", "place"], rows[0]
times = [row[0] for row in rows[1:]]
assert times == sorted(times) and len(times) > 1000, len(times)
with open(out + "/timeline.jsonl", encoding="utf-8") as f:
    events = [json.loads(line) for line in f]
assert [e["time"] for e in events] == times
assert any(e["deleted"] and e["type"] == "ios_notes" for e in events)
tables = {}
for name in ["ios_call_history-call_records.csv", "whatsapp-chat_sessions.csv"]:
    with open(out + "/export/" + name, encoding="utf-8-sig", newline="") as f:
        tables[name] = list(csv.reader(f))
    assert len(tables[name]) > 50, name
    assert all(len(row) == len(tables[name][0]) for row in tables[name]), name
calls = tables["ios_call_history-call_records.csv"]
assert ["José Núñez", "+15550104477", "2021-03-01T01:21:35"] == calls[1][:3], calls[1]
sources = json.load(open(out + "/summary.json", encoding="utf-8"))["provenance"]["sources"]
assert len(sources) > 20
for source in sources:
    line = subprocess.run(["sha256sum", source["path"]], capture_output=True, text=True).stdout
    assert line.split()[0] == source["sha256"], source
print("checked", len(times), "events and", len(sources), "sources")

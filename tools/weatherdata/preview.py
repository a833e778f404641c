#!/usr/bin/python3
"""Fills every template with sample records and photographs it at the size
of the forecast browser (386x246), to look at a set before it ships.

Usage (needs python3-gi, gir1.2-webkit2-4.0 and an X display):
  xvfb-run -a /usr/bin/python3 tools/weatherdata/preview.py OUT_DIR
Writes OUT_DIR/<set>_<page>.png and prints, per page, the document's width
and height; a width above the browser's is a horizontal scroll bar.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(os.path.dirname(os.path.dirname(HERE)), "data")
APP = DATA + "/"
W, H = 386, 246


def img(code, extra):
    return f'<img src="{APP}images/{code}.gif"{extra}>'


def cc_icons(*codes):
    return "".join(img(c, ' height="19"') for c in codes)


# What the companion server's live feed puts at the foot of its pages.
CREDIT = "数据：Open-Meteo（CC BY 4.0），2026-12-08 14:00发布"

SAMPLES = {
    "ForeCastOnline.htm": {
        "date": ["12月9日", "12月10日", "12月11日"], "low": ["-3", "-1", "0"], "high": ["5", "7", "6"],
        "am": ["多云", "晴", "小雨"], "pm": ["晴", "多云", "中到大雨"], "night": ["阴", "雷阵雨伴有冰雹", "小雪"],
        "credit": CREDIT,
    },
    "WendOnline.htm": {
        "date": ["12月9日", "12月10日", "12月11日"], "am": ["北风3-4级", "微风", "东南风2-3级"],
        "pm": ["西北风4-5级转3-4级", "北风2级", "东风3级"], "night": ["北风2-3级", "微风", "南风1-2级"],
        "credit": CREDIT,
    },
    "ForeCastCC.htm": {
        "date": ["12月 31日", "1月 1日", "1月 2日"], "low": ["-6", "-4", "-2"], "high": ["3", "", "5"],
        "ws": [cc_icons("01", "00"), cc_icons("07"), "无"], "wd": ["多云转晴", "小雨", "阴转雨夹雪"],
        "wf": ["北风3-4级", "微风", "北风4-5级转3-4级"],
    },
    "ForeCastCN.htm": {
        "date": "12月31日20时至1月1日20时", "wsword": "多云，阴",
        "wsgif": img("01", ' width="60" height="60" alt="多云"') + img("02", ' width="60" height="60" alt="阴"'),
        "low": "-3", "high": "5", "wf": "北风3-4级", "rc": "07时36", "rl": "16时59",
        "dj": "116.28", "bw": "39.93", "hb": "54.7米",
    },
    "WendCN.htm": {
        "date": ["1月5日", "1月6日", "12月10日", "10月7日", "2月28日"],
        "wsword": ["多云，阴", "晴", "小雨，中雨", "雷阵雨，大到暴雨", "小雪"],
        "wsgif": [img("01", ' width="20" height="20"') + img("02", ' width="20" height="20"'),
                  img("00", ' width="20" height="20"') + img("00", ' width="20" height="20"'),
                  img("07", ' width="20" height="20"') + img("08", ' width="20" height="20"'),
                  img("04", ' width="20" height="20"') + img("23", ' width="20" height="20"'),
                  img("14", ' width="20" height="20"') + img("14", ' width="20" height="20"')],
        "high": ["5", "7", "12", "28", "-1"], "low": ["-3", "-2", "4", "21", "-8"],
        "wf": ["北风3-4级", "微风", "东风2级", "南风3-4级", "西北风5-6级"],
        "zs": [f'<img border="0" src="{APP}images/fl{f}.gif" width="28" height="35">' for f in (3, 1)]
              + [f'<img border="0" src="{APP}images/zhong.gif" width="40" height="23">']
              + [f'<img border="0" src="{APP}images/fl{f}.gif" width="28" height="35">' for f in (4, 6)],
        "credit": CREDIT,
    },
}


def fill(text, set_name, values):
    text = text.replace("[path]", f"{DATA}/Template/{set_name}/").replace("[city]", "北京")
    for key, value in values.items():
        if isinstance(value, list):
            for k, v in enumerate(value, 1):
                text = text.replace(f"[{key}{k}]", v)
        else:
            text = text.replace(f"[{key}]", value)
    return text


def main():
    import gi
    gi.require_version("Gtk", "3.0")
    gi.require_version("WebKit2", "4.0")
    from gi.repository import GLib, Gtk, WebKit2

    out = sys.argv[1] if len(sys.argv) > 1 else "/tmp/weather_preview"
    os.makedirs(out, exist_ok=True)
    jobs = []
    for set_name in sorted(os.listdir(os.path.join(DATA, "Template"))):
        for page, values in SAMPLES.items():
            with open(os.path.join(DATA, "Template", set_name, page), "rb") as f:
                html = fill(f.read().decode("gbk"), set_name, values)
            path = os.path.join(out, f"{set_name}_{page}")
            with open(path, "wb") as f:
                f.write(html.encode("gbk"))
            jobs.append(path)
    # The settings tab previews a set's ForeCastOnline.htm as stored.
    jobs += [os.path.join(DATA, "Template", s, "ForeCastOnline.htm")
             for s in sorted(os.listdir(os.path.join(DATA, "Template")))]
    jobs += [os.path.join(DATA, "Hello.htm"), os.path.join(DATA, "AD.htm")]

    win = Gtk.OffscreenWindow()
    view = WebKit2.WebView()
    view.get_settings().set_enable_javascript_markup(False)
    view.get_settings().set_default_charset("GBK")
    win.add(view)
    win.show_all()
    state = {"i": -1}

    def next_job():
        state["i"] += 1
        if state["i"] >= len(jobs):
            Gtk.main_quit()
            return
        path = jobs[state["i"]]
        size = (579, 60) if path.endswith("AD.htm") else (W, H)
        win.resize(*size)
        view.set_size_request(*size)
        view.load_uri("file://" + path)

    def on_load(v, event):
        if event == WebKit2.LoadEvent.FINISHED:
            GLib.timeout_add(300, measure)

    def measure():
        view.run_javascript("document.documentElement.scrollWidth + 'x' + document.documentElement.scrollHeight",
                            None, on_size)
        return False

    def on_size(v, result):
        size = v.run_javascript_finish(result).get_js_value().to_string()
        path = jobs[state["i"]]
        view.get_snapshot(WebKit2.SnapshotRegion.VISIBLE, WebKit2.SnapshotOptions.NONE, None, on_shot,
                          (path, size))

    def on_shot(v, result, data):
        path, size = data
        surface = v.get_snapshot_finish(result)
        name = os.path.basename(path)
        if not path.startswith(out):
            name = os.path.basename(os.path.dirname(path)) + "_stored_" + name if "Template" in path else name
        png = os.path.join(out, name.replace(".htm", ".png"))
        surface.write_to_png(png)
        print(f"{os.path.basename(png)}\t{size}")
        next_job()

    view.connect("load-changed", on_load)
    next_job()
    Gtk.main()


if __name__ == "__main__":
    main()

-- wrk script: the three lookup pages in turn with a spread of real inputs,
-- and per-status counts so an error answer is not hidden in a 200 total.
local paths = {
  "/query/tel.asp?tel=13800138000", "/query/tel.asp?tel=13912345678", "/query/tel.asp?tel=17712345678",
  "/query/ip.asp?ip=202.96.128.86", "/query/ip.asp?ip=8.8.8.8", "/query/ip.asp?ip=223.5.5.5",
  "/query/idcard.asp?id=11010519491231002X", "/query/tel.asp?tel=123", "/query/ip.asp?ip=1.2.3",
}
local i = 0
request = function()
  i = i % #paths + 1
  return wrk.format("GET", paths[i])
end
local non200 = 0
response = function(status)
  if status ~= 200 then non200 = non200 + 1 end
end
done = function(summary, latency, requests)
  io.write(string.format("requests %d, errors %d (connect %d, read %d, write %d, timeout %d, status %d)\n",
    summary.requests, summary.errors.connect + summary.errors.read + summary.errors.write +
    summary.errors.timeout + summary.errors.status, summary.errors.connect, summary.errors.read,
    summary.errors.write, summary.errors.timeout, summary.errors.status))
  for _, p in ipairs({50, 90, 99, 99.9}) do
    io.write(string.format("p%s %.2f ms\n", p, latency:percentile(p) / 1000))
  end
end

# For each WAV file named in the list (one path a line): Praat's voice report
# with the settings clinics use, its mean harmonicity (cc) and CPPS, one line:
# path jitter_local jitter_local_abs jitter_rap jitter_ppq5 jitter_ddp
#   shimmer_local shimmer_db shimmer_apq3 shimmer_apq5 shimmer_apq11 shimmer_dda
#   hnr_report hnr_mean cpps pulses
# (undefined values print as --undefined--). With report 0 only CPPS is made.
form list
  sentence list list.txt
  sentence out out.txt
  integer report 1
endform
files$# = readLinesFromFile$# (list$)
writeFile: out$, ""
for i to size (files$#)
  f$ = files$# [i]
  s = Read from file: f$
  if report
    p = To Pitch (cc): 0, 75, 15, "no", 0.03, 0.45, 0.01, 0.35, 0.14, 600
    selectObject: s
    pp = To PointProcess (periodic, cc): 75, 600
    n = Get number of points
    selectObject: s, p, pp
    r$ = Voice report: 0, 0, 75, 600, 1.3, 1.6, 0.03, 0.45
    selectObject: s
    h = To Harmonicity (cc): 0.01, 75, 0.1, 1.0
    hm = Get mean: 0, 0
    line$ = f$
    for k to 12
      label$ = if k = 1 then "Jitter (local): " else if k = 2 then "Jitter (local, absolute): " else if k = 3 then "Jitter (rap): " else if k = 4 then "Jitter (ppq5): " else if k = 5 then "Jitter (ddp): " else if k = 6 then "Shimmer (local): " else if k = 7 then "Shimmer (local, dB): " else if k = 8 then "Shimmer (apq3): " else if k = 9 then "Shimmer (apq5): " else if k = 10 then "Shimmer (apq11): " else if k = 11 then "Shimmer (dda): " else "Mean harmonics-to-noise ratio: " fi fi fi fi fi fi fi fi fi fi fi
      v = extractNumber (r$, label$)
      line$ = line$ + " " + fixed$ (v, 9)
    endfor
    line$ = line$ + " " + fixed$ (hm, 6)
    removeObject: p, pp, h
  else
    line$ = f$ + " - - - - - - - - - - - - -"
  endif
  selectObject: s
  c = To PowerCepstrogram: 60, 0.002, 5000, 50
  cpps = Get CPPS: "yes", 0.02, 0.0005, 60, 330, 0.05, "parabolic", 0.001, 0, "Exponential decay", "Robust"
  line$ = line$ + " " + fixed$ (cpps, 6)
  if report
    line$ = line$ + " " + string$ (n)
  else
    line$ = line$ + " -"
  endif
  appendFileLine: out$, line$
  removeObject: s, c
endfor
